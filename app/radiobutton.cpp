// The radio button whose group the program keeps exclusive itself.

#include "app/radiobutton.h"

RadioButton::RadioButton(const QString& text, QWidget* parent) : QRadioButton(text, parent)
{
    setAutoExclusive(false);
    connect(this, &QAbstractButton::toggled, this, &RadioButton::onToggled);
}

void RadioButton::makeExclusiveGroup(const QList<RadioButton*>& buttons)
{
    for (RadioButton* button : buttons) {
        button->m_group = buttons;
        button->m_group.removeAll(button);
    }
}

void RadioButton::nextCheckState()
{
    if (!isChecked())
        setChecked(true);
}

void RadioButton::onToggled(bool checked)
{
    if (!checked)
        return;
    for (RadioButton* other : std::as_const(m_group))
        other->setChecked(false);
    emit becameChecked();
}
