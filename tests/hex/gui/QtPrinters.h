#pragma once
// Readable Qt strings in test failure messages.

#include <QString>
#include <QStringList>
#include <ostream>

inline void PrintTo(const QString& Text, std::ostream* Out) { *Out << '"' << Text.toStdString() << '"'; }

inline void PrintTo(const QStringList& Lines, std::ostream* Out) {
  *Out << "{";
  for (const QString& Line : Lines) *Out << "\n  \"" << Line.toStdString() << '"';
  *Out << " }";
}
