#pragma once

// A radio button whose group the program manages itself. Qt's auto-exclusive
// radio buttons cannot be cleared from code, yet loading settings and the date
// rules must leave a whole group clear, so exclusivity is done here instead:
// checking a button (by a click or by setChecked(true)) clears the others of
// its group and then emits becameChecked(); clearing one emits nothing.

#include <QList>
#include <QRadioButton>

class RadioButton : public QRadioButton {
    Q_OBJECT

public:
    explicit RadioButton(const QString& text, QWidget* parent = nullptr);

    // Makes the buttons one exclusive group (a button belongs to one group).
    static void makeExclusiveGroup(const QList<RadioButton*>& buttons);

signals:
    // The button went from clear to checked; the rest of its group is already
    // clear when this is emitted.
    void becameChecked();

protected:
    // A click on a checked button leaves it checked and runs nothing.
    void nextCheckState() override;

private:
    void onToggled(bool checked);

    QList<RadioButton*> m_group;
};
