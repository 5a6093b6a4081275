#pragma once
// What the long commands (export, track) show while they run, and where the writer's messages
// go.
#include <unistd.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "platform/progress_sink.h"
#include "platform/user_messages.h"

namespace kivra::cli {

// Progress of a long job as one line on the terminal; silent when stderr is not a terminal.
class TerminalProgress final : public ProgressSink {
public:
    explicit TerminalProgress(std::ostream& err) : err_(err), shown_(::isatty(2) != 0) {}
    ~TerminalProgress() override { End(); }
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void Begin(int lower, int upper, const std::string& caption, PercentLabel) override {
        End();
        lower_ = lower;
        upper_ = upper;
        caption_ = caption;
        percent_ = -1;
        SetPosition(lower);
    }
    void SetCaption(const std::string& caption) override { caption_ = caption; }
    void SetPosition(int position) override {
        if (!shown_ || upper_ <= lower_) {
            return;
        }
        const int percent = int((int64_t(position) - lower_) * 100 / (int64_t(upper_) - lower_));
        if (percent == percent_) {
            return;  // one line update per percent is plenty for a terminal
        }
        percent_ = percent;
        err_ << "\r" << caption_ << " " << position - lower_ << "/" << upper_ - lower_ << " ("
             << percent << "%)" << std::flush;
        open_ = true;
    }
    void Pump() override {}
    void End() override {
        if (open_) {
            err_ << "\n";
            open_ = false;
        }
    }

private:
    std::ostream& err_;
    const bool shown_;
    bool open_ = false;
    int lower_ = 0, upper_ = 0, percent_ = -1;
    std::string caption_;
};

// The writer's messages go to stderr.
class StderrMessages final : public UserMessages {
public:
    explicit StderrMessages(std::ostream& err) : err_(err) {}
    MsgAnswer ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon) override {
        err_ << text;
        if (text.empty() || text.back() != '\n') {
            err_ << "\n";
        }
        return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::No;
    }

private:
    std::ostream& err_;
};

}  // namespace kivra::cli
