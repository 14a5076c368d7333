// The effect's window: a background picture, eight push buttons that record while held (one
// per recording type) and the oscilloscope of the loop.
//
// Threads: the host opens, idles, draws and closes the editor on its user-interface thread,
// but parameters change on any thread, and the audio thread refreshes the oscilloscope. Those
// threads never touch a toolkit object: they leave atomic notes (which parameters changed,
// a new picture of the loop in the hand-over) that idle applies on the user-interface thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "editor/AEffGUIEditor.h"
#include "editor/ScopeHandover.h"
#include "gui/CControlListener.h"

class AudioEffect;
class CBitmap;
class CKickButton;
class COscilloscope;

class StammerixEditor : public AEffGUIEditor, public CControlListener {
public:
    static constexpr int kNumButtons = 8;
    static constexpr std::int32_t kButtonTag = 83;
    static constexpr std::int32_t kScopeTag = 1;

    // The controls of the open window; they belong to the frame.
    struct Controls {
        CKickButton* awfOnOff;
        CKickButton* mwfOnOff;
        CKickButton* swfOnOff;
        CKickButton* pwfOnOff;
        CKickButton* anfOnOff;
        CKickButton* mnfOnOff;
        CKickButton* snfOnOff;
        CKickButton* pnfOnOff;
        COscilloscope* myOscilloscope;
    };

    explicit StammerixEditor(AudioEffect* effect);
    ~StammerixEditor() override;

    std::int32_t open(void* ptr) override;
    void close() override;
    void idle() override;
    std::int32_t mouse(std::int32_t x, std::int32_t y) override;
    void update() override;
    void setParameter(std::int32_t index, float value) override;
    void valueChanged(CDrawContext* context, CControl* control) override;
    void beginEdit(std::int32_t index) override;
    void endEdit(std::int32_t index) override;

    // Any thread: whether the window is open.
    bool isOpen() const { return bOpened.load(std::memory_order_acquire); }
    // Audio thread: publishes the loop's picture and the two markers for the next idle;
    // written names the loop's segments written since the last publication (see
    // ScopeHandover). False when the window is closed and nothing was published.
    bool refreshScope(const float* left, const float* right, std::int32_t capacity,
                      std::int32_t length, std::int32_t posRed, std::int32_t posGreen,
                      std::uint64_t written = ScopeHandover::kAllWritten);

    // The controls of the open window (null while closed), for tests and tools.
    CKickButton* getButton(int k) const;
    COscilloscope* getOscilloscope() const { return _controls.myOscilloscope; }
    // The parameter-1 value a press of button k sends: the nearest float to k / 7.
    static float typeValue(int k);

private:
    void closeFrame();
    void leaveFrameCall();
    void followParameter(std::int32_t index);
    // The button of the type that records, or -1 while nothing records.
    int recordingButton() const;
    // The button that records pressed, every other released.
    void showRecordingState();
    void applyPendingChanges();
    bool onUserInterfaceThread() const;

    struct {
        CBitmap* background;
        CBitmap* OnOff1;
        CBitmap* OnOff2;
        CBitmap* OscilloscopeBack;
    } _res;
    AudioEffect* _fx;
    Controls _controls;
    std::atomic<bool> bOpened;
    // User-interface thread: how deep the host's calls into the frame (idle, mouse) are nested,
    // and a close asked for while they run.
    std::int32_t frameCalls = 0;
    bool closePending = false;

    // Parameters changed off the user-interface thread (bit per index), applied at idle.
    std::atomic<std::uint32_t> pendingParameters;
    std::atomic<std::thread::id> uiThread;
    ScopeHandover scope;
    std::unique_ptr<ScopeFrame> scopeFrame; // the user-interface side's copy
};
