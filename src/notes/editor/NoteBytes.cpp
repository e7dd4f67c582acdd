#include "notes/editor/NoteBytes.h"

#include "platform/MessageBoxes.h"

#include <QByteArrayView>
#include <QObject>

namespace quillet {

NoteBytes NoteBytes::of(const Value *stored)
{
    NoteBytes bytes;
    if (!stored)
        return bytes;
    if (stored->type() == Value::Type::Blob) {
        bytes.m_lossy = true;
    } else if (const std::optional<std::string_view> text = stored->textView()) {
        const QByteArrayView view(text->data(), static_cast<qsizetype>(text->size()));
        bytes.m_lossy = !view.isValidUtf8() || view.contains('\0');
    }
    if (bytes.m_lossy)
        bytes.m_stored = *stored;
    return bytes;
}

bool NoteBytes::ask(MessageBoxes &boxes, QWidget *owner, const QString &fullPath,
                    const QString &backup)
{
    QString text =
        m_stored.type() == Value::Type::Blob
            ? QObject::tr("The note in \"%1\" is stored as raw bytes (a blob), not as text.")
                  .arg(fullPath)
            : QObject::tr("The note in \"%1\" holds bytes that are not UTF-8 text, or a "
                          "NUL; the editor shows them as replacement characters.")
                  .arg(fullPath);
    text += QObject::tr("\n\nStoring your change writes the whole note as UTF-8 text, and its "
                        "original bytes are gone from the notes database.");
    if (!backup.isEmpty())
        text += QObject::tr(" The newest backup that holds them is:\n%1").arg(backup);
    text += QObject::tr("\n\nStore the change? No undoes it and leaves the note as it is.");
    const bool agreed =
        boxes.ask(owner, QStringLiteral("Quillet"), text, MessageBoxes::Buttons::YesNo,
                  MessageBoxes::Icon::Warning) == MessageBoxes::Answer::Yes;
    m_consent = agreed ? Consent::Given : Consent::Refused;
    return agreed;
}

} // namespace quillet
