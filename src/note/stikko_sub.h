#pragma once
// CONTRACT STUB — the note window's public face as the main form, the settings dialog and the
// print preview use it. The note-window work fills in the implementation (and may add members),
// keeping these names and meanings. This comment goes when the class is built.

#include "store/subfunction.h"

#include <QWidget>

class QLabel;
class QTextEdit;
class QTimer;

namespace stikko {

class NoteHost;

class TfrmStikko_sub : public QWidget {
    Q_OBJECT
public:
    // `owner` is the main form's widget (destroys the window with it); `host` its services.
    TfrmStikko_sub(QWidget* owner, NoteHost* host);
    ~TfrmStikko_sub() override;

    NoteRecord record{};
    bool isclosed = false;
    bool isdeleted = false;
    bool ismodified = false;
    bool isringing = false;

    // FormShow: reload the record from its file (or the defaults file) and apply it, then show.
    void showNote();
    void ApplyNoteRecord();
    void ApplyStayOnTop();
    void UpdateTitleFromText();
    void SaveOnClose();
    // Writes the record to the note's own file; false when it could not be written.
    bool writeRecord();

    // Live preview hooks for the settings dialog (per-note mode).
    void setTitleColors(int32_t background, int32_t text);
    void setBodyColor(int32_t color);   // reDoc background and pnBottom0
    void setBottomColor(int32_t color); // pnBottom and pnClient
    void setToolbarVisible(bool shown);
    void setOpacityValue(int32_t value); // opt_color semantics: < 255 blends with its low byte

    QString titleCaption() const;
    QTextEdit* editor() const;
};

} // namespace stikko
