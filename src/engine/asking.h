#pragma once
// The questions and notices of the core, asked through one interface: the
// window shows them in message boxes, dxu-cli answers them from its options.
// A question is named, never recognised by its caption.
#include <QString>

namespace dxu {

enum class Question {
    ViewErrors,           // errors were listed during a list: view them?
    NoUnitsAssigned,      // a network connect with no unit assigned
    PortLost,             // the port went away under the connection
    CannotConnect,        // the point-to-point unit did not answer
    CannotConnectUnit,    // a network unit stepped to did not answer
    CannotConnectNetwork, // no unit of the network answered
    ResetUnit,            // reset the unit to its saved settings?
    UnsavedOnExit,        // settings not saved in the unit: end the program?
    UnsavedOnDisconnect,  // settings not saved in the unit: disconnect?
    UnsavedSetup,         // edits of a setup opened offline not saved: close it?
    LookAtOtherRates,     // the point-to-point unit did not answer at rate: search the others?
    UseFoundRate,         // a unit answered at rate during the search: keep it for RS-232?
    OtherChangesSaved,    // a unit rate change saves the other pending changes too: go on?
    FollowUnitRate,       // the link runs through the unit port changed: the PC follows?
    RateLostTryOther,     // the unit went silent after a rate change: try otherRate?
    RateLost,             // the unit answers at no rate after a rate change (a notice)
    RestoreLine,          // overwrite and save the line's units from a backup?
};

// When the user is asked about settings not saved in the unit.
enum class UnsavedMoment { Exit, Disconnect };

struct Asking {
    Asking(Question q) : question(q) {} // NOLINT: a question alone is an asking
    Question question;
    int count = 0;   // ViewErrors: how many
    int unit = 0;    // CannotConnectUnit: the unit's number
    char address = 0; // CannotConnectUnit: its address
    QString reason;  // PortLost: what the link said, or empty
    int comNumber = 0; // PortLost: the port
    QString details; // the connect failures: what was tried
    int rate = 0;      // the rate questions: the rate in bit/s at stake
    int otherRate = 0; // RateLostTryOther: the rate offered instead
    bool universalPort = false; // FollowUnitRate: the universal port (else the configuration port)
    QString file;    // UnsavedSetup: the setup file's name; RestoreLine: the backup's folder
    QString units;   // RestoreLine: the units' addresses, one character each
};

// A question's caption and text as the program words it; yesNo for a
// question, else a notice with OK. The window's boxes and dxu-cli's lines
// say the same.
struct AskingText {
    QString caption;
    QString text;
    bool yesNo = false;
};
AskingText askingText(const Asking& asking);

class Asker {
public:
    virtual ~Asker() = default;
    // True for Yes; a notice is only told, and its answer means nothing.
    virtual bool ask(const Asking& asking) = 0;
};

} // namespace dxu
