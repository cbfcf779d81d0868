// A page that uses only its own layer and those below it.
#include "link/controller.h"
#include "ui/message_box.h"

#include <QWidget>
