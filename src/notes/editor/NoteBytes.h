#pragma once

#include "store/Value.h"

#include <QString>

class QWidget;

namespace quillet {

class MessageBoxes;

// What a shown note's stored bytes are, as far as the editor goes. UTF-8 text comes back from
// the editor byte for byte; bytes that are not UTF-8, NUL, and a blob, cannot: the editor shows
// them with replacement characters. Such a note is stored only once the user, asked at the first
// change, agrees to have it written as UTF-8 text.
class NoteBytes
{
public:
    NoteBytes() = default;
    // The note's stored value; nullptr for a missing row.
    static NoteBytes of(const Value *stored);

    bool comesBackWhole() const { return !m_lossy; }
    // The user changed a note that cannot come back whole and has not been asked yet.
    bool needsAsking() const { return m_lossy && m_consent == Consent::NotAsked; }
    // A save stores nothing until the user has agreed.
    bool holdsBackSaves() const { return m_lossy && m_consent != Consent::Given; }
    void asking() { m_consent = Consent::Asking; }
    // The note's bytes as they are stored, while they cannot come back whole.
    const Value &stored() const { return m_stored; }

    // Asks, before the first change of such a note is stored, whether to store it: where it
    // is, what storing does, and the newest backup that keeps the bytes (empty when none does).
    // Returns whether the user agreed; the answer holds for the note from then on.
    bool ask(MessageBoxes &boxes, QWidget *owner, const QString &fullPath, const QString &backup);

private:
    enum class Consent { NotAsked, Asking, Given, Refused };
    bool m_lossy = false;
    Consent m_consent = Consent::NotAsked;
    Value m_stored;
};

} // namespace quillet
