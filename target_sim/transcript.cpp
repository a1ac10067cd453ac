#include "target_sim/transcript.h"

#include <pthread.h>
#include <signal.h>

Transcript::~Transcript() {
    Close();
}

bool Transcript::Open(const std::string& path) {
    file_ = std::fopen(path.c_str(), "w");
    if (file_ == nullptr) {
        return false;
    }
    // The writer takes no signals: a stop request must reach the serve loop,
    // whose wait it ends.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    writer_ = std::thread([this] { WriteLines(); });
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return true;
}

void Transcript::Note(char kind, int64_t timeUs, const std::string& text) {
    if (file_ == nullptr) {
        return;
    }
    char head[32];
    std::snprintf(head, sizeof head, "%c %lld ", kind, static_cast<long long>(timeUs));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ += head;
        pending_ += text;
        pending_ += '\n';
    }
    queued_.notify_one();
}

void Transcript::Flush() {
    if (file_ == nullptr) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    std::string lines;
    lines.swap(pending_);
    // Taken before the queue is let go: lines the writer took earlier are
    // written first.
    std::lock_guard<std::mutex> writing(fileMutex_);
    lock.unlock();
    std::fwrite(lines.data(), 1, lines.size(), file_);
    std::fflush(file_);
}

void Transcript::Close() {
    if (file_ == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    queued_.notify_one();
    writer_.join();
    std::fclose(file_);
    file_ = nullptr;
}

void Transcript::WriteLines() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return closing_ || !pending_.empty(); });
        if (pending_.empty()) {
            return;  // closing, and everything written
        }
        std::string lines;
        lines.swap(pending_);
        // The serve loop keeps queueing while the disk is written.
        std::unique_lock<std::mutex> writing(fileMutex_);
        lock.unlock();
        std::fwrite(lines.data(), 1, lines.size(), file_);
        std::fflush(file_);
        writing.unlock();
        lock.lock();
    }
}
