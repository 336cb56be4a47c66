#pragma once

// A date-only picker with a drop-down calendar, in the system's short date
// format, that accepts no date before 1 January 1970. Its value can be read
// and set as a day serial: days since 30 December 1899 (1 January 1970 is
// 25569), whole days only. A click on the day, the month or the year selects
// it, so that what is typed next replaces it.

#include <QDateEdit>
#include <QString>

class DatePicker : public QDateEdit {
    Q_OBJECT

public:
    static constexpr double kMinimumSerial = 25569.0;  // 1 January 1970

    explicit DatePicker(QWidget* parent = nullptr);

    double daySerial() const;
    // Sets the date of a day serial (its fraction is dropped). Returns an empty
    // text on success, else the refusal message; a refused day leaves the date
    // as it was.
    QString setDaySerial(double day);

    // The day serial of a date, and the date of a whole day serial.
    static double serialOf(const QDate& date);
    static QDate dateOf(long long day);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
