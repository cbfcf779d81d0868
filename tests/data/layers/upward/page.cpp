// A page that reaches up into the application: the layer check refuses it.
#include "app/main_frame.h"
#include "ui/message_box.h"
