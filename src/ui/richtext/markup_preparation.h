// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The steps that turn a caller's mark-up into the text the drawer lays out.

#include <QString>
#include <QStringView>

namespace ostrum::ui {

// Replaces the character entities ("&amp;", "&bull;", "&copy;", "&euro;", "&gt;", "&iquest;",
// "&lt;", "&nbsp;", "&para;", "&pound;", "&quot;", "&reg;", "&trade;") in one left-to-right pass,
// so the result of one replacement is never read as the start of another. "&lt;" becomes "<<",
// which the parser reads as a literal "<". Unknown entities stay as they are.
QString replaceEntities(QStringView text);

// Entities replaced, carriage returns removed, line feeds and tabs turned into "<br>" and "<t>"
// (newline mode) or removed, and the whole wrapped in "<body>" ... "</body>".
QString prepareMarkup(QStringView text, bool newlineMode);

}  // namespace ostrum::ui
