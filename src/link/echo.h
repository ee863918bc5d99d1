#pragma once
// Adapters that hear their own transmission: many two-wire RS-485 converters
// keep their receiver on while they send, so every byte written comes back
// just before the answer. What was written is taken off the start of what is
// read after it, when it is there whole; an answer that merely begins like
// the request is not touched, since the comparison is with the bytes
// written, not with a pattern.

#include <QByteArray>

namespace echo {

// Takes `written` off the start of `read` when `read` begins with all of it;
// true when it did.
inline bool take(QByteArray& read, const QByteArray& written) {
    if (written.isEmpty() || !read.startsWith(written))
        return false;
    read.remove(0, written.size());
    return true;
}

// Whether `read` may still grow into `written` and its echo: it is a
// shorter beginning of it.
inline bool mayBeEchoSoFar(const QByteArray& read, const QByteArray& written) {
    return !read.isEmpty() && read.size() < written.size() && written.startsWith(read);
}

} // namespace echo
