#include "Support/ShortcutRecording.h"

namespace kestrivane {

ShortcutRecording &ShortcutRecording::shared()
{
    static ShortcutRecording recording;
    return recording;
}

void ShortcutRecording::begin(QObject *recorder, Deliver deliver)
{
    end(recorder);
    entries_.append({recorder, std::move(deliver)});
}

void ShortcutRecording::end(QObject *recorder)
{
    entries_.removeIf([recorder](const Entry &entry) { return entry.recorder == recorder; });
    prune();
}

bool ShortcutRecording::isRecording() const
{
    for (const Entry &entry : entries_) {
        if (entry.recorder)
            return true;
    }
    return false;
}

bool ShortcutRecording::divert(const KestrivaneShortcut &shortcut)
{
    prune();
    if (entries_.isEmpty())
        return false;
    // A copy: the delivery usually ends the recording.
    const Deliver deliver = entries_.last().deliver;
    if (deliver)
        deliver(shortcut);
    return true;
}

void ShortcutRecording::prune()
{
    entries_.removeIf([](const Entry &entry) { return entry.recorder.isNull(); });
}

} // namespace kestrivane
