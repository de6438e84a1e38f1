// stream.cpp - the buffered reader of a compiler's answer (see stream.h).
#include "compiler/stream.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>

#include <poll.h>
#include <unistd.h>

nyxCompilerStream::nyxCompilerStream(int fd, int32_t timeoutSeconds)
    : d_fd(fd), d_timeout(std::max<int32_t>(timeoutSeconds, 0)),
      d_buffer(new uint8_t[kBufferSize]) {
    d_begin = d_pos = d_end = d_buffer.get();
}

nyxCompilerStream::nyxCompilerStream(const void *data, size_t size) {
    d_begin = d_pos = static_cast<const uint8_t *>(data);
    d_end = d_begin + (data ? size : 0);
    d_sourceEnded = true;
}

void nyxCompilerStream::fail(State s) {
    if (d_state == kGood)
        d_state = s == kGood ? kCorrupt : s;
    d_base += static_cast<uint64_t>(d_pos - d_begin);
    d_begin = d_pos = d_end;
    d_pushback = -1;
}

void nyxCompilerStream::compact() {
    uint8_t *front = d_buffer.get();
    size_t keep = static_cast<size_t>(d_end - d_pos);
    d_base += static_cast<uint64_t>(d_pos - d_begin);
    if (keep != 0 && d_pos != front)
        std::memmove(front, d_pos, keep);
    d_begin = d_pos = front;
    d_end = front + keep;
}

int nyxCompilerStream::waitReadable(int64_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max<int64_t>(timeoutMs, 0));
    for (;;) {
        int wait = -1;
        if (timeoutMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = static_cast<int>(std::clamp<int64_t>(left, 0, INT_MAX));
        }
        pollfd p{d_fd, POLLIN, 0};
        int r = ::poll(&p, 1, wait);
        if (r > 0)
            return (p.revents & POLLNVAL) ? -1 : 1;  // POLLHUP and POLLERR: the read tells
        if (r == 0) {
            if (timeoutMs < 0 || Clock::now() < deadline)
                continue;  // a wait cut short: wait for the rest
            return 0;
        }
        if (errno != EINTR)
            return -1;
    }
}

ssize_t nyxCompilerStream::readSome(bool wait) {
    const int64_t timeoutMs = d_timeout > 0 ? int64_t{d_timeout} * 1000 : -1;
    uint8_t *room = d_buffer.get() + (d_end - d_begin);
    size_t space = kBufferSize - static_cast<size_t>(d_end - d_begin);
    bool ready = false;
    for (;;) {
        if (!ready && (!wait || timeoutMs >= 0)) {
            int r = waitReadable(wait ? timeoutMs : 0);
            if (r == 0 && !wait)
                return 0;
            if (r <= 0)
                return fail(r == 0 ? kTimeout : kIoError), -1;
        }
        ssize_t n = ::read(d_fd, room, space);
        if (n > 0) {
            d_end += n;
            return n;
        }
        if (n == 0) {
            d_sourceEnded = true;
            return 0;
        }
        if (errno == EINTR) {
            ready = true;
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return fail(kIoError), -1;
        if (!wait)
            return 0;
        ready = false;
        if (timeoutMs < 0) {
            int r = waitReadable(-1);
            if (r < 0)
                return fail(kIoError), -1;
            ready = true;
        }
    }
}

bool nyxCompilerStream::fill(size_t n) {
    while (good() && static_cast<size_t>(d_end - d_pos) < n) {
        if (d_sourceEnded || d_fd < 0)
            return fail(kEnd), false;
        // Keep reads large: move the rest to the front when the tail room runs short.
        size_t room = kBufferSize - static_cast<size_t>(d_end - d_begin);
        if (d_pos == d_end || room < std::max<size_t>(n, 4096))
            compact();
        if (readSome(true) == 0 && d_sourceEnded)
            return fail(kEnd), false;
    }
    return good();
}

int32_t nyxCompilerStream::readIntSlow() {
    if (!fill(4))
        return 0;
    int32_t v;
    std::memcpy(&v, d_pos, 4);
    d_pos += 4;
    return fromLittle(v);
}

uint8_t nyxCompilerStream::readCharSlow() {
    return fill(1) ? *d_pos++ : 0;
}

const std::string &nyxCompilerStream::readString() {
    d_string.clear();
    int32_t len = readInt();
    if (!good() || len == 0)
        return d_string;
    if (len < 0 || len > kMaxString) {
        std::fprintf(stderr, "Absurd length in readString; compiler communications problem; len=0x%x.\n",
                     static_cast<unsigned>(len));
        dumpFollowing();
        fail(kAbsurd);
        return d_string;
    }
    if (fill(static_cast<size_t>(len))) {
        d_string.assign(reinterpret_cast<const char *>(d_pos), static_cast<size_t>(len));
        d_pos += len;
    }
    return d_string;
}

// Writes up to 100 bytes that follow, taken only from what is buffered or ready on the fd now.
void nyxCompilerStream::dumpFollowing() {
    constexpr size_t kShown = 100;
    if (d_fd >= 0 && !d_sourceEnded && static_cast<size_t>(d_end - d_pos) < kShown) {
        compact();
        readSome(false);
    }
    std::string text = "Data following:0x";
    size_t shown = std::min(kShown, static_cast<size_t>(d_end - d_pos));
    for (size_t i = 0; i < shown; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%.2x", d_pos[i]);
        text += hex;
    }
    text += '\n';
    std::fputs(text.c_str(), stderr);
}

bool nyxCompilerStream::readLine(std::string &line, bool *newline) {
    line.clear();
    if (newline)
        *newline = false;
    bool any = false;
    while (good()) {
        if (d_pos == d_end) {
            if (d_fd < 0 || d_sourceEnded)
                break;
            compact();
            if (readSome(true) <= 0) {
                if (!good())
                    return false;
                continue;  // the end of the data: the loop ends above
            }
        }
        const uint8_t *nl = static_cast<const uint8_t *>(std::memchr(d_pos, '\n', static_cast<size_t>(d_end - d_pos)));
        size_t take = static_cast<size_t>((nl ? nl : d_end) - d_pos);
        size_t keep = std::min(take, kMaxLine - line.size());
        line.append(reinterpret_cast<const char *>(d_pos), keep);
        d_pos += take;
        any = true;
        if (nl) {
            ++d_pos;
            if (newline)
                *newline = true;
            return true;
        }
    }
    if (!good())
        return false;
    if (!any)
        fail(kEnd);
    return any;
}

size_t nyxCompilerStream::discardPending() {
    size_t dropped = static_cast<size_t>(d_end - d_pos);
    d_pos = d_end;
    d_pushback = -1;
    if (d_fd < 0)
        return dropped;
    while (!d_sourceEnded && dropped < kMaxDiscard && good()) {
        compact();
        ssize_t n = readSome(false);
        if (n <= 0)
            break;
        dropped += static_cast<size_t>(n);
        d_pos = d_end;
    }
    compact();
    return dropped;
}
