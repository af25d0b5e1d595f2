#include "note/bodysnapshot.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <algorithm>

namespace stikko {

std::unique_ptr<QTextDocument> BodySnapshot::toDocument() const {
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(defaultFont);
    for (auto it = images.cbegin(); it != images.cend(); ++it)
        document->addResource(QTextDocument::ImageResource, QUrl(it.key()), it.value());
    QTextCursor cursor(document.get());
    QHash<quintptr, QTextList*> lists;
    bool first = true;
    for (const Block& block : blocks) {
        // The list a block belongs to is an object of the document it came from: it is made
        // anew here, and the block joins it.
        QTextBlockFormat format = block.format;
        format.setObjectIndex(-1);
        if (first) {
            cursor.setBlockFormat(format);
            cursor.setBlockCharFormat(block.charFormat);
            first = false;
        } else {
            cursor.insertBlock(format, block.charFormat);
        }
        if (block.list != 0) {
            if (QTextList* list = lists.value(block.list))
                list->add(cursor.block());
            else
                lists.insert(block.list, cursor.createList(block.listFormat));
        }
        for (const Run& run : block.runs) {
            if (run.format.isImageFormat())
                cursor.insertImage(run.format.toImageFormat());
            else
                cursor.insertText(run.text, run.format);
        }
    }
    if (!extra.isEmpty()) {
        cursor.setPosition(std::clamp(extraAt, 0, document->characterCount() - 1));
        cursor.insertText(extra, extraFormat);
    }
    return document;
}

BodyCapture::BodyCapture(QTextDocument* document, QObject* parent) : QObject(parent), document_(document) {
    // A document tells its changes only once it has a layout (which lays nothing out until
    // asked).
    document->documentLayout();
    connect(document, &QTextDocument::contentsChange, this, &BodyCapture::changed);
    restart();
}

void BodyCapture::restart() {
    snapshot_ = BodySnapshot();
    next_ = 0;
}

bool BodyCapture::complete() const {
    return document_ && next_ >= document_->characterCount();
}

bool BodyCapture::step(qint64 budgetMs) {
    if (!document_)
        return false;
    QElapsedTimer clock;
    clock.start();
    if (next_ == 0) {
        snapshot_.defaultFont = document_->defaultFont();
        snapshot_.blocks.reserve(std::size_t(document_->blockCount()));
    }
    for (QTextBlock block = document_->findBlock(next_); block.isValid(); block = block.next()) {
        BodySnapshot::Block copy;
        copy.position = block.position();
        copy.length = block.length();
        copy.format = block.blockFormat();
        copy.charFormat = block.charFormat();
        if (const QTextList* list = block.textList()) {
            copy.list = reinterpret_cast<quintptr>(list);
            copy.listFormat = list->format();
        }
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                const QString name = format.toImageFormat().name();
                if (!snapshot_.images.contains(name))
                    snapshot_.images.insert(name,
                                            document_->resource(QTextDocument::ImageResource, QUrl(name)));
            }
            copy.runs.push_back({fragment.text(), format});
        }
        snapshot_.blocks.push_back(std::move(copy));
        next_ = block.position() + block.length();
        if (clock.elapsed() >= budgetMs)
            break;
    }
    return complete();
}

BodySnapshot BodyCapture::take() {
    BodySnapshot snapshot = std::move(snapshot_);
    restart();
    return snapshot;
}

void BodyCapture::changed(int position, int, int) {
    if (position >= next_)
        return; // not copied yet: copied as it is now
    // The blocks from the one the change begins in are copied again; those before it are
    // still what the document holds.
    auto& blocks = snapshot_.blocks;
    const auto from =
        std::find_if(blocks.begin(), blocks.end(), [position](const BodySnapshot::Block& block) {
            return block.position + block.length > position;
        });
    next_ = from == blocks.end() ? next_ : from->position;
    blocks.erase(from, blocks.end());
    if (blocks.empty())
        restart();
}

} // namespace stikko
