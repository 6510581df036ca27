#pragma once
// Modal message boxes go through one service so that tests can answer them
// without a human.
#include <QString>

namespace dxu {

enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

class MessageService {
public:
    virtual ~MessageService() = default;
    virtual MsgAnswer show(const QString& caption, const QString& text, MsgButtons buttons) = 0;
    // A box with details for the curious beside its text (the informative
    // text under it). A service that cannot show them shows the box without.
    virtual MsgAnswer showDetailed(const QString& caption, const QString& text, const QString& details,
                                   MsgButtons buttons)
    {
        (void)details;
        return show(caption, text, buttons);
    }
};

// The service in use; by default real QMessageBox dialogs.
MessageService& messages();
// Installs another service (nullptr restores the default). Not owned.
void setMessageService(MessageService* service);

// Shorthands.
void showMessage(const QString& caption, const QString& text);
void showMessage(const QString& caption, const QString& text, const QString& details);
bool askYesNo(const QString& caption, const QString& text); // true only for Yes

// Reads a number typed by the user. On failure shows the standard conversion
// message ("'%s' is not a valid integer value" / "... floating point value",
// caption "Error") and returns false; the caller abandons its action. A field
// caption, when given, comes first: "Bin Hits: 'x' is not a valid ...".
bool textToInt(const QString& text, int& out, const QString& field = {});
bool textToFloat(const QString& text, float& out, const QString& field = {});

} // namespace dxu
