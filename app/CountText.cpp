#include "app/CountText.h"

QString CountText(int64_t count, const QLocale& locale) {
  QLocale shown = locale;
  // The C locale groups nothing; its numbers read as in English.
  if (shown.language() == QLocale::C) shown = QLocale(QLocale::English, QLocale::UnitedStates);
  shown.setNumberOptions(shown.numberOptions() & ~QLocale::OmitGroupSeparator);
  QString text = shown.toString(qlonglong(count));
  if (shown.groupSeparator().isEmpty() && (count >= 1000 || count <= -1000)) {
    // A locale without a separator of its own: commas every three digits.
    const int first_digit = count < 0 ? 1 : 0;
    for (int at = int(text.size()) - 3; at > first_digit; at -= 3) text.insert(at, ',');
  }
  return text;
}
