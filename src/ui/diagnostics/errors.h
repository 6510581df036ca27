#pragma once
#include "ui/services/formplacement.h"

#include <QDialog>
#include <QStringList>

#include <string_view>

class QPushButton;

namespace dxu {

class LineLog;

// The error list: connection failures collected while a list runs. It counts
// the lines added since the count was last reset, which is not the number of
// lines shown: "&Clear" empties the list but keeps the count.
class TfrmErrors : public QDialog {
    Q_OBJECT
public:
    static constexpr int MaxLines = 500;

    explicit TfrmErrors(QWidget* parent = nullptr);

    // Adds one line (shown as Latin-1) and counts it.
    void addErrorLine(std::string_view text);
    // Empties the list and resets the count.
    void clearErrors();

    int errorCount() const { return errorCount_; }
    void setErrorCount(int count) { errorCount_ = count; }
    int lineCount() const;
    QStringList lines() const;

public slots:
    void pbClearClick();
    void pbCloseClick();
    // The close button and Escape end here as well.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormClose();

    int errorCount_ = 0;
    FormPlacement placement_;
    LineLog* memErrorList = nullptr;
    QPushButton* pbClear = nullptr;
    QPushButton* pbClose = nullptr;
};

} // namespace dxu
