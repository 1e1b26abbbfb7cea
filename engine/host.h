#pragma once
// The two interfaces through which the engine reaches the platform.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace dxflist {

// Message-box styles, named by the Windows message-box flag values.
enum MsgBoxStyle : int {
    kMsgBoxOk = 0,              // OK button, no icon
    kMsgBoxYesNoQuestion = 36,  // Yes and No buttons, question icon
    kMsgBoxOkInformation = 64,  // OK button, information icon
};
// Answers a message box can give; Yes is the only one the program tests.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// The platform operations the engine needs; the main window realises them.
class HostServices {
  public:
    virtual ~HostServices() = default;
    // Shows the UTF-8 text as the main window's caption.
    virtual void setCaption(std::string_view utf8) = 0;
    // Lets pending window events (menu commands included) run, then returns; or throws, ending
    // the run, when one of them ended the program (the window's Exit answered Yes throws its
    // ProgramEnd here). A run holds nothing across it that its unwinding does not release.
    virtual void doEvents() = 0;
    // Shows a modal box under the application title and returns the button pressed; throws
    // instead (ProgramEnd in the window) when the program is ending and no box may open.
    virtual int msgBox(std::string_view utf8, MsgBoxStyle style) = 0;
    // The second of the minute (0-59) of the current time of day.
    virtual int currentSecond() = 0;
    // How far the run has come, for the taskbar: `done` of the source's `total` bytes read.
    // Called with every progress caption; hosts without such a display ignore it.
    virtual void setProgress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}
    // The run is busy with work of unknown length: the CR LF copy of an LF drawing.
    virtual void setProgressUnknown() {}
};

// The running program's metadata. Texts are UTF-8.
struct AppInfo {
    std::string EXEName;         // base name of the executable, without extension
    std::filesystem::path Path;  // the folder that holds the executable
    std::uint16_t Major = 0;     // the version: Major.Minor.Revision
    std::uint16_t Minor = 0;
    std::uint16_t Revision = 0;
    std::string CompanyName;  // the version record's strings, shown by the Version box
    std::string Comments;     // (the empty ones are left out there)
    std::string FileDescription;
    std::string LegalCopyright;
    std::string ProductName;
    std::string LegalTrademarks;
};

// The second of the minute of the time of day. Time zones are whole minutes away from UTC, so
// the epoch count gives the local second without a calendar lookup.
int secondOfMinuteNow();

// The second of the minute as hosts report it to the run, which asks once per pass: the clock
// is read every 256th time only, as a pass takes well under a microsecond.
class SecondOfMinuteClock {
  public:
    int now() {
        if ((calls_++ & 255u) == 0) cached_ = secondOfMinuteNow();
        return cached_;
    }

  private:
    unsigned calls_ = 0;
    int cached_ = 0;
};

}  // namespace dxflist
