#pragma once
// The open end of a port, as TCommPortDriver uses it: a local tty or a
// network connection to a serial device server. The driver watches fd() for
// arrivals and does the rest through these calls; neither end blocks.
#include "serial/portoptions.h"
#include "serial/posixport.h"

#include <QString>

#include <functional>
#include <memory>

struct serial_rs485;

namespace dxu::serialio {

class LinkEnd {
public:
    virtual ~LinkEnd() = default;
    // The descriptor to watch for arrivals.
    virtual int fd() const = 0;
    // Up to size bytes of the port's data: the count, 0 when nothing is
    // there now, -1 when the link is gone (lostReason says why).
    virtual int read(char* buffer, int size) = 0;
    // Takes up to size bytes to send: the count taken, 0 when there is no
    // room now, -1 when the link is gone.
    virtual int write(const char* data, int size) = 0;
    // Bytes taken but not yet sent; -1 when it cannot tell.
    virtual int waitingToSend() const = 0;
    virtual void apply(const LineSettings& s) = 0;
    virtual void purge(bool input, bool output) = 0;
    // Closes the end and gives the port up.
    virtual void close() = 0;
    // Why the link was lost, for "Serial port: COM n ..."; empty: the
    // device went away.
    virtual QString lostReason() const { return {}; }

    // Where the end tells what the user should know about the link (the
    // driver's note, said once per key).
    std::function<void(const QString& key, const QString& text)> onNote;

protected:
    void notePort(const QString& key, const QString& text) const
    {
        if (onNote)
            onNote(key, text);
    }
};

// A local tty (or any descriptor handed over), claimed by this process.
class TtyEnd : public LinkEnd {
public:
    // Takes fd over; the options say how RS-485 direction is controlled.
    TtyEnd(int fd, const PortOptions& options = {});
    ~TtyEnd() override;
    int fd() const override { return fd_; }
    int read(char* buffer, int size) override;
    int write(const char* data, int size) override;
    int waitingToSend() const override { return bytesWaitingToSend(fd_); }
    void apply(const LineSettings& s) override;
    void purge(bool input, bool output) override { serialio::purge(fd_, input, output); }
    void close() override;
    // Lets the descriptor go without closing it.
    void forget() { fd_ = -1; }
    // The errno of the refused RS-485 request, 0 when the mode was set or
    // none was asked for.
    int rs485Error() const { return rs485Error_; }

private:
    int fd_;
    PortOptions options_;
    bool rs485Set_ = false;
    int rs485Error_ = 0;
    // The kernel's RS-485 settings before this end changed them.
    std::unique_ptr<::serial_rs485> before_;
};

// Switches the kernel's RS-485 mode of a tty; 0 or the errno of the refusal.
// before receives the settings it replaces (when not null).
int setRs485(int fd, const PortOptions& options, ::serial_rs485* before);

} // namespace dxu::serialio
