#include "frmSettings.h"

#include "Accessibility.h"
#include "Controls.h"
#include "core/faces/MainWindowLoad.h"
#include "core/model/HandleError.h"
#include "core/model/UserTexts.h"
#include "core/settings/LegalTypeSetting.h"
#include "core/settings/LegalTypes.h"
#include "core/settings/SettingNames.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

namespace drovane {
namespace {
const QString kWindow = QStringLiteral("frmSettings");
// The "Registrar connection" group's share of the window's height, in twips, with the
// rows that say where the password is kept.
constexpr int kPasswordRowsHeight = 870;
constexpr int kConnectionGroupHeight = 1005 + kPasswordRowsHeight;
// The buy-at-once check box's row, in twips.
constexpr int kBuyAtOnceHeight = 300;

// The registrant's contact details, a caption and a box a row; rectangles in twips.
struct ContactRow {
    const char* caption;
    const char* text;
    QRect captionAt;
    const char* box;
    QRect boxAt;
};
constexpr ContactRow kContactRows[] = {
    {"lblFirstName", "First Name:", {120, 135, 855, 255}, "txtFirstName", {960, 120, 2655, 270}},
    {"lblLastName", "Last Name:", {120, 495, 855, 255}, "txtLastName", {960, 480, 2655, 270}},
    {"lblPhone", "Phone:", {120, 855, 735, 255}, "txtPhone", {840, 840, 2775, 270}},
    {"lblAddress", "Address:", {120, 1215, 735, 255}, "txtAddress", {840, 1200, 2775, 270}},
    {"lblCity", "City:", {120, 1575, 375, 255}, "txtCity", {480, 1560, 3135, 270}},
    {"lblCountry", "Country:", {120, 1935, 735, 255}, "txtCountry", {840, 1920, 2775, 270}},
    {"lblEMail", "E-Mail Address:", {120, 2295, 1095, 255}, "txtEMail", {1320, 2280, 2295, 270}},
};
} // namespace

frmSettings::frmSettings(SettingsStore& store, const QStringList& colLegalTypes, Prompter& prompter,
                         SettingsWindowHost& host, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      store_(store), legalTypes_(colLegalTypes), prompter_(prompter), host_(host) {
    setObjectName(kWindow);
    setAccessibleWindowRole(this, QAccessible::Dialog);
    // A closed settings window is gone: the next opening loads it from the settings.
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Settings"));
    setFont(tahoma(8.25));
    setFixedSize(px(3720), px(5880 + kConnectionGroupHeight + kBuyAtOnceHeight));
    createControls();
    Form_Load();
}

QLineEdit* frmSettings::box(const char* name, int left, int top, int width, int height) {
    auto* b = new QLineEdit(this);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(twipRect(left, top, width, height));
    b->setFont(courierNew(9.75));
    return b;
}

QLabel* frmSettings::label(const char* name, const QString& text, int left, int top, int width,
                           int height) {
    auto* l = new QLabel(text, this);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(twipRect(left, top, width, height));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    makeTransparentLabel(l);
    fitCaption(l);
    return l;
}

void frmSettings::createControls() {
    createContactRows();
    createLegalTypeRow();
    createNameServerRows();
    const int shift = createConnectionGroup(4680);
    createMethodRows(shift);

    // The keyboard follows the eye, from the top down.
    QWidget* order[] = {
        txtFirstName, txtLastName,    txtPhone,       txtAddress,     txtCity,   txtCountry,
        txtEMail,     cmbLegalType,   txtNameServer1, txtNameServer2, chkSecure, chkTestEnvironment,
        chkKeyring,   chkUsePURCHASE, chkBuyAtOnce,   cmdCheck,       cmdDone};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(chkUsePURCHASE, &QCheckBox::toggled, this, &frmSettings::chkUsePURCHASE_Click);
    connect(lblUsePURCHASE, &ClickLabel::clicked, this, &frmSettings::lblUsePURCHASE_Click);
    connect(cmdDone, &QPushButton::clicked, this, &frmSettings::cmdDone_Click);
    connect(cmdCheck, &QPushButton::clicked, this, &frmSettings::cmdCheck_Click);
}

void frmSettings::createContactRows() {
    // In the table's order.
    QLineEdit** const boxes[] = {&txtFirstName, &txtLastName, &txtPhone, &txtAddress,
                                 &txtCity,      &txtCountry,  &txtEMail};
    static_assert(std::size(boxes) == std::size(kContactRows));
    for (size_t i = 0; i < std::size(kContactRows); ++i) {
        const ContactRow& row = kContactRows[i];
        const QRect& l = row.captionAt;
        QLabel* caption =
            label(row.caption, QString::fromUtf8(row.text), l.x(), l.y(), l.width(), l.height());
        const QRect& b = row.boxAt;
        *boxes[i] = box(row.box, b.x(), b.y(), b.width(), b.height());
        // Each box is named by its caption, for assistive technology (its buddy label).
        caption->setBuddy(*boxes[i]);
    }
}

void frmSettings::createLegalTypeRow() {
    QLabel* caption =
        label("lblLegalType", QStringLiteral("Contact Legal Type (Required for co.uk domains)"),
              120, 2760, 3495, 255);
    cmbLegalType = new QComboBox(this);
    caption->setBuddy(cmbLegalType);
    cmbLegalType->setObjectName(QStringLiteral("cmbLegalType"));
    cmbLegalType->setGeometry(twipRect(120, 3000, 3495, 315));
    for (const LegalType& t : kLegalTypes)
        cmbLegalType->addItem(QString::fromLatin1(t.label));
    cmbLegalType->setCurrentIndex(-1);
}

void frmSettings::createNameServerRows() {
    QLabel* caption =
        label("lblNewNameServers", QStringLiteral("Default NameServers:"), 120, 3660, 1695, 255);
    txtNameServer1 = box("txtNameServer1", 360, 3960, 3255, 270);
    txtNameServer2 = box("txtNameServer2", 360, 4320, 3255, 270);
    // One caption over two boxes: each gets a name of its own as well.
    caption->setBuddy(txtNameServer1);
    txtNameServer1->setAccessibleName(QStringLiteral("Default name server 1"));
    txtNameServer2->setAccessibleName(QStringLiteral("Default name server 2"));
}

void frmSettings::createMethodRows(int shift) {
    chkUsePURCHASE = new QCheckBox(this);
    chkUsePURCHASE->setObjectName(QStringLiteral("chkUsePURCHASE"));
    QRect at = twipRect(120, 5085 + shift, 200, 200);
    // The style's indicator may be a pixel larger than the box; never clip it.
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, chkUsePURCHASE);
    at.setSize(at.size().expandedTo(QSize(indicator, indicator)));
    chkUsePURCHASE->setGeometry(at);
    lblUsePURCHASE = new ClickLabel(QStringLiteral("Use PURCHASE Method"), this);
    lblUsePURCHASE->setObjectName(QStringLiteral("lblUsePURCHASE"));
    lblUsePURCHASE->setGeometry(twipRect(360, 5070 + shift, 1875, 195));
    lblUsePURCHASE->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    makeTransparentLabel(lblUsePURCHASE);
    fitCaption(lblUsePURCHASE);
    lblUsePURCHASE->setBuddy(chkUsePURCHASE);

    chkBuyAtOnce = new QCheckBox(QStringLiteral("Buy the moment a check finds a name free"), this);
    chkBuyAtOnce->setObjectName(QStringLiteral("chkBuyAtOnce"));
    chkBuyAtOnce->setGeometry(twipRect(120, 5370 + shift, 3495, 255));
    chkBuyAtOnce->resize(chkBuyAtOnce->size().expandedTo(chkBuyAtOnce->sizeHint()));

    cmdDone = new QPushButton(QStringLiteral("Done"), this);
    cmdDone->setObjectName(QStringLiteral("cmdDone"));
    cmdDone->setGeometry(twipRect(1493, 5400 + shift + kBuyAtOnceHeight, 735, 375));
    cmdDone->setAutoDefault(false);
    // Left of Done, on its row: the setup as the windows show it, checked without saving.
    cmdCheck = new QPushButton(QStringLiteral("Check Setup"), this);
    cmdCheck->setObjectName(QStringLiteral("cmdCheck"));
    cmdCheck->setGeometry(twipRect(120, 5400 + shift + kBuyAtOnceHeight, 1275, 375));
    cmdCheck->setAutoDefault(false);
}

int frmSettings::createConnectionGroup(int top) {
    fraConnection = new QGroupBox(QStringLiteral("Registrar connection"), this);
    fraConnection->setObjectName(QStringLiteral("fraConnection"));
    // A little wider than the boxes above: the longer caption needs it in DejaVu Sans.
    fraConnection->setGeometry(twipRect(60, top, 3600, 915 + kPasswordRowsHeight));
    auto check = [this](const char* name, const QString& text, int at) {
        auto* c = new QCheckBox(text, fraConnection);
        c->setObjectName(QLatin1String(name));
        c->setGeometry(twipRect(90, at, 3420, 270));
        c->resize(c->size().expandedTo(c->sizeHint()));
        return c;
    };
    chkSecure = check("chkSecure", QStringLiteral("Secure connection (HTTPS)"), 270);
    chkTestEnvironment =
        check("chkTestEnvironment", QStringLiteral("Use the registrar's test environment"), 570);
    chkKeyring =
        check("chkKeyring", QStringLiteral("Keep the password in the system keyring"), 870);
    lblPasswordPlace = new QLabel(fraConnection);
    lblPasswordPlace->setObjectName(QStringLiteral("lblPasswordPlace"));
    lblPasswordPlace->setGeometry(twipRect(90, 1155, 3420, 600));
    lblPasswordPlace->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblPasswordPlace->setWordWrap(true);
    return kConnectionGroupHeight;
}

void frmSettings::Form_Load() {
    paintWhite(this);
    setWindowIcon(drovane::windowIcon()); // not QWidget::windowIcon(), which reads it back
    for (QLineEdit* b : {txtFirstName, txtLastName, txtPhone, txtAddress, txtCity, txtCountry,
                         txtEMail, txtNameServer1, txtNameServer2})
        paintBoxWhite(b);
    makeGreyButton(cmdDone);
    makeGreyButton(cmdCheck);

    QLineEdit* contact[] = {txtFirstName, txtLastName, txtPhone, txtAddress,
                            txtCity,      txtCountry,  txtEMail};
    for (int i = 0; i < int(std::size(kContactSettings)); ++i)
        contact[i]->setText(store_.Settings(kContactSettings[i]));
    txtNameServer1->setText(store_.Settings(Setting::NameServer1));
    txtNameServer2->setText(store_.Settings(Setting::NameServer2));
    chkSecure->setChecked(store_.options().secure);
    chkTestEnvironment->setChecked(store_.options().testEnvironment);
    chkBuyAtOnce->setChecked(store_.options().buyAtOnce);
    showPasswordPlace();

    // A bad stored value shows the default and loading goes on, so the legal type is
    // still shown.
    const QString method = store_.Settings(Setting::UsePurchase);
    if (method == QLatin1String("1"))
        chkUsePURCHASE->setChecked(true);
    else if (!method.isEmpty() && method != QLatin1String("0"))
        HandleError(13,
                    QStringLiteral("Type mismatch: %1 is neither 0 nor 1")
                        .arg(settingLabel(Setting::UsePurchase)),
                    QStringLiteral("Form_Load"), QStringLiteral("settings.dat"), kWindow);

    if (!store_.Settings(Setting::LegalType).contains(u'$'))
        store_.setSettings(Setting::LegalType, QStringLiteral("-1$"));
    if (const auto row =
            parseLegalTypeRow(store_.Settings(Setting::LegalType), cmbLegalType->count()))
        cmbLegalType->setCurrentIndex(*row);
    else
        HandleError(380,
                    QStringLiteral("Invalid property value: %1 names no row of the list")
                        .arg(settingLabel(Setting::LegalType)),
                    QStringLiteral("Form_Load"), QStringLiteral("settings.dat"), kWindow);
}

void frmSettings::showPasswordPlace() {
    chkKeyring->setChecked(store_.keyringChosen());
    // Only a keyring that answered can take the password.
    chkKeyring->setEnabled(store_.keyringAnswers());
    QString text = QStringLiteral("Password kept in: %1").arg(store_.passwordPlace());
    if (const QString why = store_.passwordPlaceReason(); !why.isEmpty())
        text += QStringLiteral(" (%1)").arg(why);
    lblPasswordPlace->setText(text);
    lblPasswordPlace->setToolTip(text);
}

void frmSettings::chkUsePURCHASE_Click() {
    // Loading sets the stored state while the window is still hidden: no question then.
    if (!isVisible() || !chkUsePURCHASE->isChecked())
        return;
    if (!prompter_.question(QString::fromLatin1(kPurchaseMethodQuestion)))
        chkUsePURCHASE->setChecked(false);
}

void frmSettings::lblUsePURCHASE_Click() {
    chkUsePURCHASE->setChecked(!chkUsePURCHASE->isChecked());
}

SettingsArray frmSettings::shownSettings() const {
    SettingsArray shown = store_.all();
    QLineEdit* contact[] = {txtFirstName, txtLastName, txtPhone, txtAddress,
                            txtCity,      txtCountry,  txtEMail};
    for (int i = 0; i < int(std::size(kContactSettings)); ++i)
        shown[kContactSettings[i]] = contact[i]->text();
    shown[Setting::NameServer1] = txtNameServer1->text();
    shown[Setting::NameServer2] = txtNameServer2->text();
    shown[Setting::UsePurchase] =
        chkUsePURCHASE->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    shown[Setting::LegalType] = formatLegalTypeSetting(cmbLegalType->currentIndex(), legalTypes_);
    return shown;
}

Options frmSettings::shownOptions() const {
    Options options = store_.options();
    options.secure = chkSecure->isChecked();
    options.testEnvironment = chkTestEnvironment->isChecked();
    options.buyAtOnce = chkBuyAtOnce->isChecked();
    return options;
}

void frmSettings::cmdCheck_Click() {
    host_.checkSetup(shownSettings(), shownOptions());
}

void frmSettings::cmdDone_Click() {
    const SettingsArray shown = shownSettings();
    for (Setting k : kContactSettings)
        store_.setSettings(k, shown[k]);
    store_.setSettings(Setting::NameServer1, shown[Setting::NameServer1]);
    store_.setSettings(Setting::NameServer2, shown[Setting::NameServer2]);
    // Judged on what this Done stores: a user who checked Custom Nameservers and has
    // just entered both name servers keeps the option.
    if (nameServerSwitchMustGoOff(store_.all()))
        host_.uncheckNameServers();
    store_.setSettings(Setting::UsePurchase, shown[Setting::UsePurchase]);
    store_.setSettings(Setting::LegalType, shown[Setting::LegalType]);
    store_.setOptions(shownOptions());
    // The save below moves the password into or out of the keyring.
    if (chkKeyring->isEnabled() && chkKeyring->isChecked() != store_.keyringChosen())
        store_.chooseKeyring(chkKeyring->isChecked());

    const SaveResult saved = store_.WriteSettings(host_.mainFields());
    if (!saved.ok) {
        // The window stays open with the edits, so the user can free the folder and
        // press Done again.
        prompter_.notice(settingsNotSaved(saved.error));
        return;
    }
    showPasswordPlace();
    if (!saved.notice.isEmpty())
        prompter_.notice(saved.notice);
    if (host_.mainWindowVisible()) {
        if (saved.leftAlone.contains(store_.settingsPath()))
            prompter_.notice(QStringLiteral("Settings updated for this session only: %1 was not "
                                            "read at start-up and is left as it is.")
                                 .arg(QDir::toNativeSeparators(store_.settingsPath())));
        else
            prompter_.notice(QStringLiteral("Settings successfully updated!"));
        host_.focusMainWindow();
        hide();
    }
}

void frmSettings::keyPressEvent(QKeyEvent* event) {
    // As in every dialog of the desktop: Enter presses Done, Escape closes the window as
    // its close box does (the edits since the last Done are discarded). A control that
    // has a use for the key (an open list) takes it first.
    const bool plain = event->modifiers() == Qt::NoModifier ||
                       (event->modifiers() == Qt::KeypadModifier && event->key() == Qt::Key_Enter);
    if (plain && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        cmdDone->click();
        return;
    }
    if (event->modifiers() == Qt::NoModifier && event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmSettings::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmSettings::Form_Unload() {
    if (nameServerSwitchMustGoOff(store_.all()))
        host_.uncheckNameServers();
    emit unloaded();
}

} // namespace drovane
