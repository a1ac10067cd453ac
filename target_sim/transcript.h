// The simulator's transcript: one line per event, "<kind> <microseconds>
// <text>", written by a thread of its own so that a slow disk never holds
// up an answer to the host.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

class Transcript {
  public:
    Transcript() = default;
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Creates `path` and starts the writer. Returns false (nothing started)
    // when the file cannot be created.
    bool Open(const std::string& path);

    // Queues one line: `kind`, the time `timeUs`, then `text`. Never waits
    // for the disk; each line reaches the file soon after, in order. Does
    // nothing when no file is open.
    void Note(char kind, int64_t timeUs, const std::string& text);

    // Writes every line queued so far to the file before it returns (waiting
    // for the disk, unlike Note).
    void Flush();

    // Writes every queued line, stops the writer and closes the file.
    // Safe to repeat.
    void Close();

  private:
    void WriteLines();

    std::FILE* file_ = nullptr;
    std::mutex mutex_;      // guards pending_ and closing_
    std::mutex fileMutex_;  // held while lines are written, so they stay in order
    std::condition_variable queued_;
    std::string pending_;  // lines not yet handed to the file
    bool closing_ = false;
    std::thread writer_;
};
