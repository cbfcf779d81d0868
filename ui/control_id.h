#pragma once

#include <QString>
#include <QWidget>

// Controls are addressed by the numeric ids of their dialog templates. The id
// is the widget's object name in decimal, so a running window can be searched
// by id (tests, accessibility tools).
namespace kestrum {

inline void SetControlId(QWidget* widget, int id)
{
    widget->setObjectName(QString::number(id));
}

template<class T = QWidget>
T* FindControl(const QWidget* root, int id)
{
    return root->findChild<T*>(QString::number(id));
}

} // namespace kestrum
