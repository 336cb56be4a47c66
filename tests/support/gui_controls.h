#pragma once

// Finding the window's controls by object name, as a user would by caption.

#include <QWidget>
#include <gtest/gtest.h>

// The child of root with this object name and type; the test fails (and the
// result is nullptr) when there is none.
template <typename T>
T* control(const QWidget& root, const char* name)
{
    T* found = root.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        ADD_FAILURE() << "no control " << name << " of the expected kind";
    return found;
}
