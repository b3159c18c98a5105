// What the core asks of the user interface without knowing it: message
// boxes and messages posted to the main window. The navigator installs a
// Qt host; tests and the command line use the headless host, which records
// every box and answers it with a scripted default.
#pragma once
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win_types.h"

namespace velka {

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class IUiHost {
public:
    virtual ~IUiHost() = default;
    // Shows a modal box; returns the button pressed.
    virtual int MessageBox(const std::u16string& strText, const std::u16string& strCaption,
                           UINT uStyle) = 0;
    // Posts a message to the main window's queue; callable from any thread.
    virtual bool PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) = 0;
    // Shows a box that does not wait for the user: the program goes on at
    // once (a host without such boxes shows its ordinary one).
    virtual void ShowNotice(const std::u16string& strText, const std::u16string& strCaption, UINT uStyle) {
        MessageBox(strText, strCaption, uStyle);
    }
};

struct RecordedBox {
    std::u16string strText;
    std::u16string strCaption;
    UINT uStyle = 0;
};

struct PostedMessage {
    UINT uMsg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class CHeadlessUiHost : public IUiHost {
public:
    int MessageBox(const std::u16string& strText, const std::u16string& strCaption,
                   UINT uStyle) override;
    bool PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

    // Answers for yes/no boxes, taken in order; when they run out,
    // m_nDefaultYesNo answers. Other boxes answer IDOK.
    void ScriptAnswers(std::vector<int> answers);
    int m_nDefaultYesNo = IDNO;
    // Print each box to stderr as it is shown (the command line does).
    bool m_fEcho = false;

    std::vector<RecordedBox> Boxes() const;
    void ClearBoxes();
    std::vector<PostedMessage> TakePosted();

private:
    mutable std::mutex m_mutex;
    std::vector<RecordedBox> m_boxes;
    std::deque<int> m_answers;
    std::vector<PostedMessage> m_posted;
};

// The installed host; a headless one until the user interface installs its
// own. The host must outlive its use.
IUiHost& UiHost();
void SetUiHost(IUiHost* pHost);
// The process's headless host (installed by default).
CHeadlessUiHost& HeadlessUiHost();

} // namespace velka
