// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/msgbox/answer_memory.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace ostrum::ui {

namespace {
// The store shared by every program of the company that uses the box, like a user's registry hive.
constexpr const char* kStoreOrganisation = "BrivaneOstrum";
constexpr const char* kStoreName = "answers";

QString fullValueKey(const QString& company, const QString& prefix, int number) {
    return AnswerMemory::keyPath(company, AnswerMemory::programFileName()) + u'/' +
           AnswerMemory::valueName(prefix, number);
}
}  // namespace

AnswerMemory::AnswerMemory() {
    const QSettings probe(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kStoreOrganisation),
                          QString::fromLatin1(kStoreName));
    iniFile_ = probe.fileName();
}

AnswerMemory::AnswerMemory(QString iniFile) : iniFile_(std::move(iniFile)) {}

QString AnswerMemory::keyPath(const QString& company, const QString& programFileName) {
    if (!company.isEmpty()) {
        return QStringLiteral("Software/%1/%2/RxMessageBox").arg(company, programFileName);
    }
    return QStringLiteral("Software/%1/RxMessageBox").arg(programFileName);
}

QString AnswerMemory::valueName(const QString& prefix, int number) {
    return prefix + QString::number(number);
}

QString AnswerMemory::programFileName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

std::optional<int> AnswerMemory::read(const QString& company, const QString& prefix, int number) const {
    const QSettings store(iniFile_, QSettings::IniFormat);
    bool ok = false;
    const int value = store.value(fullValueKey(company, prefix, number)).toInt(&ok);
    if (!ok || value == 0) {
        return std::nullopt;
    }
    return value;
}

void AnswerMemory::write(const QString& company, const QString& prefix, int number, int answer) const {
    QSettings store(iniFile_, QSettings::IniFormat);
    store.setValue(fullValueKey(company, prefix, number), answer);
    store.sync();
}

}  // namespace ostrum::ui
