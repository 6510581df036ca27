#pragma once
// The journal fed from the line's events: each write of a setting an upload
// sends, the unit's answer to it (OK or an error) and the value read back
// afterwards, matched by the write's own command. The end of a list settles
// what is still waiting. The window and dxu-cli both add one to their events.
#include "journal/recorder.h"
#include "protocol/events.h"
#include "protocol/unitrecord.h"

#include <map>

namespace dxu {

struct DxuState;

class JournalFeed final : public UnitEvents {
public:
    JournalFeed(ChangeRecorder& recorder, const DxuState& state) : recorder_(recorder), st_(state) {}

    void settingWriteSent(uint32_t commandId) override;
    void settingWritten(uint32_t commandId) override;
    void settingRefused(uint32_t commandId, std::string_view reason) override;
    void settingRead(const SettingCode& row) override;
    void settingsSaved() override;
    void settingsNotSaved() override;
    void listEnded() override { recorder_.settle(); }
    void connectUnanswered() override { recorder_.settle(); }

private:
    ChangeRecorder& recorder_;
    const DxuState& st_;
    // What each unit said it holds, setting by setting, as last read: the
    // old value of a write (an upload from a file puts the new values into
    // the unit's record before it goes out).
    std::map<int32_t, UnitRecord> known_;
};

} // namespace dxu
