// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// "Preview": a look at the start of a file before it is saved. Its first bytes, read from the medium as the
// save would write them (decoded, holes filled with zeros), are shown as text in the encoding they seem to
// be in, or else as hex, with a line that says what is shown and anything the reading had to say.

#include <QDialog>
#include <QString>
#include <cstdint>
#include <optional>
#include <span>

#include "save/file_preview.h"
#include "save/text_encoding.h"

class QLabel;
class QPlainTextEdit;

namespace ostrum::app {

// The bytes as text in `text`'s encoding (its byte order mark left out); for binary, hex lines
// ("00000010  48 65 6c 6c 6f 0a ...  |Hello.|").
QString previewText(std::span<const std::uint8_t> bytes, const save::DetectedText& text);
// "The first 65,536 bytes of 1,048,576, as text (UTF-8)", "All 20 bytes, in hex", ...
QString previewSummary(const save::FilePreview& preview, const save::DetectedText& text,
                       std::optional<std::uint64_t> size);

class PreviewDialog : public QDialog {
    Q_OBJECT
  public:
    // `path` names the file (its CatalogPath); `size` is its size as the catalog gives it.
    PreviewDialog(const QString& path, const save::FilePreview& preview, std::optional<std::uint64_t> size,
                  QWidget* parent = nullptr);

    QLabel* summary() const { return summary_; }
    QPlainTextEdit* view() const { return view_; }

  private:
    QLabel* summary_;
    QPlainTextEdit* view_;
};

}  // namespace ostrum::app
