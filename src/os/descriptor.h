#pragma once
// The one owner of a file descriptor: closed when its owner goes, moved and
// never copied. Every descriptor the program opens itself lives in one.
//
//   Descriptor fd(::open(path, O_RDONLY | O_CLOEXEC));
//   if (!fd) return Failure("...", errno);
//   ::read(fd.get(), ...);

#include <unistd.h>

#include <utility>

namespace vadrel {

class Descriptor {
public:
    Descriptor() noexcept = default;
    explicit Descriptor(int fd) noexcept : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return valid(); }

    // Gives the descriptor up without closing it.
    int release() noexcept { return std::exchange(fd_, -1); }
    // Closes what it holds (once: Linux frees the number even when close
    // reports EINTR, so it is never retried) and takes `fd`.
    void reset(int fd = -1) noexcept {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_ = -1;
};

}  // namespace vadrel
