#pragma once

#include "core/model/MainFields.h"
#include "core/platform/Prompter.h"
#include "core/settings/SettingsStore.h"

#include <QStringList>
#include <QWidget>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace drovane {

class ClickLabel;

// What the settings window needs from the main window.
class SettingsWindowHost {
public:
    virtual ~SettingsWindowHost() = default;
    virtual void uncheckNameServers() = 0;
    virtual bool mainWindowVisible() const = 0;
    virtual void focusMainWindow() = 0;
    virtual MainFields mainFields() const = 0;
    // Checks the setup with these settings and options (the settings window's, unsaved)
    // and the main window's fields.
    virtual void checkSetup(const SettingsArray& settings, const Options& options) {
        Q_UNUSED(settings);
        Q_UNUSED(options);
    }
};

// Contact details, default name servers, how to reach the registrar, the co.uk legal type
// and the request method.
// Done saves and hides the window; the close box discards the edits and unloads it.
class frmSettings : public QWidget {
    Q_OBJECT
public:
    // Loading runs at once: the controls show the stored settings.
    frmSettings(SettingsStore& store, const QStringList& colLegalTypes, Prompter& prompter,
                SettingsWindowHost& host, QWidget* parent = nullptr);

    void cmdDone_Click();
    void cmdCheck_Click();

signals:
    // The window is going away after its close box or a run start; it deletes itself.
    void unloaded();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    // The registrant's contact details, a caption and a box a row.
    void createContactRows();
    void createLegalTypeRow();
    void createNameServerRows();
    // The "Registrar connection" group below the name servers; returns its height in
    // twips, by which everything below it moves down.
    int createConnectionGroup(int top);
    // The request method's options and the buttons, `shift` twips below their places
    // without the connection group.
    void createMethodRows(int shift);
    void Form_Load();
    void Form_Unload();
    void showPasswordPlace();
    void chkUsePURCHASE_Click();
    void lblUsePURCHASE_Click();
    // The settings and options as the controls show them, saved or not.
    SettingsArray shownSettings() const;
    Options shownOptions() const;
    QLineEdit* box(const char* name, int left, int top, int width, int height);
    QLabel* label(const char* name, const QString& text, int left, int top, int width, int height);

    SettingsStore& store_;
    const QStringList& legalTypes_;
    Prompter& prompter_;
    SettingsWindowHost& host_;

    QLineEdit* txtFirstName = nullptr;
    QLineEdit* txtLastName = nullptr;
    QLineEdit* txtPhone = nullptr;
    QLineEdit* txtAddress = nullptr;
    QLineEdit* txtCity = nullptr;
    QLineEdit* txtCountry = nullptr;
    QLineEdit* txtEMail = nullptr;
    QComboBox* cmbLegalType = nullptr;
    QLineEdit* txtNameServer1 = nullptr;
    QLineEdit* txtNameServer2 = nullptr;
    QGroupBox* fraConnection = nullptr;
    QCheckBox* chkSecure = nullptr;
    QCheckBox* chkTestEnvironment = nullptr;
    // Where the account's password is kept, and whether in the system keyring.
    QCheckBox* chkKeyring = nullptr;
    QLabel* lblPasswordPlace = nullptr;
    QCheckBox* chkUsePURCHASE = nullptr;
    QCheckBox* chkBuyAtOnce = nullptr;
    ClickLabel* lblUsePURCHASE = nullptr;
    QPushButton* cmdDone = nullptr;
    QPushButton* cmdCheck = nullptr;
};

} // namespace drovane
