// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Do not show again" memory: answers kept in the user's settings store under a key path
// that mirrors "Software\company\program\RxMessageBox", one 32-bit value per message, named by
// the caller's prefix followed by its number.

#include <QString>
#include <optional>

namespace ostrum::ui {

class AnswerMemory {
  public:
    // The settings store of the running user (an INI file under the user's configuration folder).
    AnswerMemory();
    // A store in the given INI file (tests, or a program that keeps its own).
    explicit AnswerMemory(QString iniFile);

    // "Software/<company>/<program>/RxMessageBox", or without the company level when it is empty.
    static QString keyPath(const QString& company, const QString& programFileName);
    // The prefix followed by the number in decimal ("%s%d").
    static QString valueName(const QString& prefix, int number);
    // The file part of the running program's path.
    static QString programFileName();

    // The remembered answer, or nothing when none is stored, it is not a number or it is zero.
    std::optional<int> read(const QString& company, const QString& prefix, int number) const;
    // Stores `answer`; failures to write are ignored.
    void write(const QString& company, const QString& prefix, int number, int answer) const;

    const QString& iniFileName() const { return iniFile_; }

  private:
    QString iniFile_;
};

}  // namespace ostrum::ui
