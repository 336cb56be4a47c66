// The date picker: the system's short date format with a four-digit year, and
// its dates to and from day serials.

#include "app/datepicker.h"

#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <cmath>

namespace {

const QDate kSerialEpoch(1899, 12, 30);

// The system's short date format, with a two-digit year widened to four: a
// two-digit year cannot tell 1970 from 2070 while the user types it.
QString shortDateFormat()
{
    QString format = QLocale::system().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

}  // namespace

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent)
{
    setCalendarPopup(true);
    setDisplayFormat(shortDateFormat());
    setMinimumDate(QDate(1970, 1, 1));
    setMaximumDate(QDate(9999, 12, 31));
    lineEdit()->installEventFilter(this);
}

bool DatePicker::eventFilter(QObject* watched, QEvent* event)
{
    // A click only places the cursor inside the section, where typed digits
    // are refused (2016 typed into 20|26 leaves 2026); selected, the section
    // takes them as after a Tab. A drag or a double click keeps its own selection.
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && !lineEdit()->hasSelectedText())
        setSelectedSection(currentSection());
    return QDateEdit::eventFilter(watched, event);
}

double DatePicker::serialOf(const QDate& date) { return static_cast<double>(kSerialEpoch.daysTo(date)); }

QDate DatePicker::dateOf(long long day) { return kSerialEpoch.addDays(day); }

double DatePicker::daySerial() const { return serialOf(date()); }

QString DatePicker::setDaySerial(double day)
{
    // A day of 0 is the empty date, which a picker without a check box cannot
    // show; anything that is not a number counts as empty too.
    if (!std::isfinite(day) || std::trunc(day) == 0.0)
        return QStringLiteral("You must be in ShowCheckbox mode to set to this date");
    const double whole = std::trunc(day);
    if (whole < serialOf(minimumDate()))
        return QStringLiteral("Date is less than minimum of %1").arg(minimumDate().toString(displayFormat()));
    if (whole > serialOf(maximumDate()))
        return QStringLiteral("Date is greater than maximum of %1").arg(maximumDate().toString(displayFormat()));
    setDate(dateOf(static_cast<long long>(whole)));
    return {};
}
