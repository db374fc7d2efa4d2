// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message box's own header, not for its callers: the numbers its answers take where they leave the
// box as numbers, in the dialog's result, the buttons' object names and the answer memory, which has
// always stored them. They are the platform's button identifiers (IDOK 1, IDCANCEL 2, IDABORT 3, IDRETRY 4,
// IDIGNORE 5, IDYES 6, IDNO 7, IDHELP 9, IDTRYAGAIN 10, IDCONTINUE 11) and the box's own after them.

#include <array>
#include <utility>

#include "ui/msgbox/message_box_params.h"

namespace ostrum::ui {

inline constexpr std::array<std::pair<MessageAnswer, int>, 21> kAnswerCodes{{
    {MessageAnswer::Ok, 1},         {MessageAnswer::Cancel, 2},    {MessageAnswer::Abort, 3},
    {MessageAnswer::Retry, 4},      {MessageAnswer::Ignore, 5},    {MessageAnswer::Yes, 6},
    {MessageAnswer::No, 7},         {MessageAnswer::Help, 9},      {MessageAnswer::TryAgain, 10},
    {MessageAnswer::Continue, 11},  {MessageAnswer::Skip, 14},     {MessageAnswer::SkipAll, 15},
    {MessageAnswer::IgnoreAll, 16}, {MessageAnswer::YesToAll, 19}, {MessageAnswer::NoToAll, 20},
    {MessageAnswer::Report, 21},    {MessageAnswer::Custom1, 23},  {MessageAnswer::Custom2, 24},
    {MessageAnswer::Custom3, 25},   {MessageAnswer::Custom4, 26},  {MessageAnswer::Details, 31},
}};

// Added to the stored answer of a box whose check box started ticked (the platform box's flag).
inline constexpr int kTickedAnswerFlag = 0x02000000;

// The number of an answer; 0 for None.
constexpr int answerCode(MessageAnswer answer) {
    for (const auto& [known, code] : kAnswerCodes) {
        if (known == answer) return code;
    }
    return 0;
}

// The answer a number stands for, the ticked flag ignored; None for a number that is no answer.
constexpr MessageAnswer answerOfCode(int code) {
    for (const auto& [answer, known] : kAnswerCodes) {
        if (known == (code & ~kTickedAnswerFlag)) return answer;
    }
    return MessageAnswer::None;
}

}  // namespace ostrum::ui
