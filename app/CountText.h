// Counts as the status bar and the statistics show them: digits grouped by
// thousands with the locale's own separator ("1,000,000", "1.000.000"), and a
// comma where the locale has none (the C and POSIX locales).
#ifndef APP_COUNTTEXT_H_
#define APP_COUNTTEXT_H_

#include <QLocale>
#include <QString>
#include <cstdint>

QString CountText(int64_t count, const QLocale& locale = QLocale());

#endif  // APP_COUNTTEXT_H_
