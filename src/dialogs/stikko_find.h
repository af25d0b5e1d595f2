#pragma once
// The find window "메모 찾기": a field, and the stored notes (shown and hidden) whose title or
// text holds what is typed there, following every keystroke, the syllable the input method is
// still composing included. Each row shows the note's title, the line of its text around the
// first match with the match marked, and whether it is hidden, folded, ringing or could not be
// read. Up and Down move, Enter opens the note, Escape closes the window; the field keeps its
// text for the next opening. The notes come from the index; what a row opens is the host's.

#include "store/noteindex.h"
#include "store/notesearch.h"

#include <QAbstractListModel>
#include <QLineEdit>
#include <QWidget>
#include <optional>
#include <vector>

class QLabel;
class QListView;
class QTimer;

namespace stikko {

class TXPStyle;

// What the find window asks of the program.
class FindHost {
  public:
    virtual ~FindHost() = default;
    // Brings the index in step with the notes open now (the text typed in them and not saved
    // yet, and whether they ring), before a search.
    virtual void refreshIndex() = 0;
    // Opens note `id` (a hidden one is shown as the note manager shows it), brings it to the
    // front with the keyboard focus and selects the first match of `query` in its body. False
    // when the note is no longer there.
    virtual bool showFoundNote(const QByteArray& id, const search::Query& query) = 0;
};

// The line of a found note's text to show in its row: the match and some text on either side.
struct FoundLine {
    QString before;
    QString match;
    QString after;
};
FoundLine foundLineOf(const FoundNote& note);

// The rows of the find window.
class FoundNotesModel : public QAbstractListModel {
    Q_OBJECT
  public:
    using QAbstractListModel::QAbstractListModel;
    void setNotes(std::vector<FoundNote> notes);
    const FoundNote* noteAt(int row) const;
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // The marks of a row as shown: "숨김", "접힘", "알람", "읽을 수 없음".
    static QStringList marksOf(const FoundNote& note);

  private:
    std::vector<FoundNote> notes_;
};

// The field: its query is the text with the syllable still being composed.
class FindField : public QLineEdit {
    Q_OBJECT
  public:
    explicit FindField(QWidget* parent = nullptr);
    QString query() const;

  signals:
    // The query changed: a key typed, a syllable composed further, text pasted or set.
    void queryChanged();

  protected:
    void inputMethodEvent(QInputMethodEvent* event) override;

  private:
    void tell();

    QString preedit_;
    QString told_; // the query last told
};

class TfrmStikko_find : public QWidget {
    Q_OBJECT
  public:
    TfrmStikko_find(NoteIndex& index, FindHost& host, QWidget* owner = nullptr);
    ~TfrmStikko_find() override;

    // Shows the window in front with its field's text selected; with `text`, the field holds
    // that text first.
    void openWith(const std::optional<QString>& text = std::nullopt);
    // Runs the search for the field's query now.
    void search();
    // Opens the note of the selected row (the first when none is selected).
    void openSelected();

    FindField* edQuery = nullptr;
    QListView* lbFound = nullptr;
    QLabel* labStatus = nullptr;
    FoundNotesModel* model() const { return model_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showStatus();
    void moveSelection(int rows);

    NoteIndex& index_;
    FindHost& host_;
    FoundNotesModel* model_ = nullptr;
    TXPStyle* xpStyle_ = nullptr;
    QTimer* indexChanged_ = nullptr; // gathers the index's changes into one search
    search::Query query_;
    QString searchedFor_; // the query of the rows shown
    QString gone_;        // the title of a note that was opened but is no longer there
};

} // namespace stikko
