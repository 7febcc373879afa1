#include "ui/dialogs/system_options_sheet.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/editing/options_rules.h"
#include "core/platform/data_folder.h"
#include "ui/dialogs/hot_key_edit.h"
#include "ui/icons.h"
#include "ui/platform/help.h"
#include "ui/prompter.h"
#include "ui/wizard/file_chooser.h"
#include "ui/wizard/number_spin.h"

namespace keelvault::ui {

namespace {

QString qtext(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QPushButton* resetButtonRow(QWidget* page, QVBoxLayout* layout) {
    auto* reset = new QPushButton(QObject::tr("&Reset to default"), page);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(reset);
    layout->addStretch();
    layout->addLayout(row);
    return reset;
}

}  // namespace

CSystemOptionsPage::CSystemOptionsPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("GeneralOptionsPage"));
    auto* login = new QGroupBox(tr("Software Login Protection"), this);
    user_ = new QLineEdit(login);
    password_ = new QLineEdit(login);
    password_->setEchoMode(QLineEdit::Password);
    auto* login_layout = new QFormLayout(login);
    login_layout->addRow(tr("Username:"), user_);
    login_layout->addRow(tr("Password:"), password_);

    auto* date = new QGroupBox(tr("Date Format (for display)"), this);
    auto* date_layout = new QVBoxLayout(date);
    const char* date_texts[] = {"Sat, Jan 1, 2005", "Sat, 1 Jan, 2005", "Sat, yyyy-mm-dd"};
    for (size_t i = 0; i < date_.size(); ++i) {
        date_[i] = new QRadioButton(QString::fromLatin1(date_texts[i]), date);
        date_layout->addWidget(date_[i]);
    }
    auto* time = new QGroupBox(tr("Time Format (for display)"), this);
    auto* time_layout = new QVBoxLayout(time);
    const char* time_texts[] = {"20:20:20", "08:20:20 P.M"};
    for (size_t i = 0; i < time_.size(); ++i) {
        time_[i] = new QRadioButton(QString::fromLatin1(time_texts[i]), time);
        time_layout->addWidget(time_[i]);
    }
    time_layout->addStretch();

    auto* hot_key_box = new QGroupBox(tr("Hot Key"), this);
    hot_key_ = new HotKeyEdit(hot_key_box);
    auto* hot_key_layout = new QVBoxLayout(hot_key_box);
    hot_key_layout->addWidget(hot_key_);

    auto_run_ = new QCheckBox(tr("Auto run the program when the current Windows user log in"), this);
    block_shutdown_ = new QCheckBox(tr("Disable shutdown/log off/suspend when a task running"), this);

    auto* formats = new QHBoxLayout;
    formats->addWidget(date, 1);
    formats->addWidget(time, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(login);
    layout->addLayout(formats);
    layout->addWidget(hot_key_box);
    layout->addWidget(auto_run_);
    layout->addWidget(block_shutdown_);
    reset_ = resetButtonRow(this, layout);
    connect(reset_, &QPushButton::clicked, this, &CSystemOptionsPage::reset);
}

void CSystemOptionsPage::showOptions(const CSystemOptions& options) {
    user_->setText(qtext(options.login_user));
    password_->setText(qtext(options.login_password));
    const int date_format = options.date_format >= 1 && options.date_format <= 3 ? options.date_format : 1;
    date_[static_cast<size_t>(date_format - 1)]->setChecked(true);
    time_[options.time_format == 2 ? 1 : 0]->setChecked(true);
    hot_key_->setHotKey(options.hot_key_code, options.hot_key_modifiers);
    auto_run_->setChecked(options.auto_run == 1);
    block_shutdown_->setChecked(options.block_shutdown == 1);
}

CSystemOptions CSystemOptionsPage::read(CSystemOptions options) const {
    GeneralTabTexts texts;
    texts.login_user = user_->text().toStdString();
    texts.login_password = password_->text().toStdString();
    texts.auto_run = auto_run_->isChecked();
    texts.block_shutdown = block_shutdown_->isChecked();
    texts.hot_key_code = hot_key_->virtualKey();
    texts.hot_key_modifiers = hot_key_->modifiers();
    for (size_t i = 0; i < date_.size(); ++i) texts.date_format_buttons[i] = date_[i]->isChecked();
    texts.twelve_hour_time = time_[1]->isChecked();
    return readGeneralTab(texts, std::move(options));
}

void CSystemOptionsPage::reset() {
    const CSystemOptions defaults;
    user_->clear();
    password_->clear();
    auto_run_->setChecked(false);
    hot_key_->setHotKey(defaults.hot_key_code, defaults.hot_key_modifiers);
    date_[0]->setChecked(true);
    time_[0]->setChecked(true);
    block_shutdown_->setChecked(false);
}

CSystemOptionsBackupLogPage::CSystemOptionsBackupLogPage(const std::filesystem::path& data_folder, FileChooser& chooser,
                                                         QWidget* parent)
    : QWidget(parent), data_folder_(data_folder), chooser_(chooser) {
    setObjectName(QStringLiteral("BackupLogOptionsPage"));
    auto* backup = new QGroupBox(tr("Backup"), this);
    folder_ = new QLineEdit(backup);
    browse_ = new QPushButton(tr("Browse..."), backup);
    auto* backup_layout = new QGridLayout(backup);
    backup_layout->addWidget(new QLabel(tr("The default folder where you want to store the backup files"), backup), 0,
                             0, 1, 2);
    backup_layout->addWidget(folder_, 1, 0);
    backup_layout->addWidget(browse_, 1, 1);
    backup_layout->setColumnStretch(0, 1);

    auto* log = new QGroupBox(tr("Task Log"), this);
    unlimited_ = new QRadioButton(tr("Unlimited size of each task log file"), log);
    maximum_ = new QRadioButton(tr("Maximum size of each task log file"), log);
    size_ = new NumberSpin(10, 100000, 6, log);
    note_ =
        new QLabel(tr("The old task logs will be deleted if the task log file size more than the maximum size."), log);
    note_->setWordWrap(true);
    auto* size_row = new QHBoxLayout;
    size_row->addSpacing(22);
    size_row->addWidget(size_);
    size_row->addWidget(new QLabel(tr("KB"), log));
    size_row->addStretch();
    auto* log_layout = new QVBoxLayout(log);
    log_layout->addWidget(unlimited_);
    log_layout->addWidget(maximum_);
    log_layout->addLayout(size_row);
    log_layout->addWidget(note_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(backup);
    layout->addWidget(log);
    reset_ = resetButtonRow(this, layout);

    connect(unlimited_, &QRadioButton::toggled, this, &CSystemOptionsBackupLogPage::limitChanged);
    connect(maximum_, &QRadioButton::toggled, this, &CSystemOptionsBackupLogPage::limitChanged);
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString folder =
            chooser_.folder(window(), tr("Select a folder where you want to store the backup files:"), folder_->text());
        if (folder.isEmpty()) return;
        folder_->setText(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
    });
    connect(reset_, &QPushButton::clicked, this, &CSystemOptionsBackupLogPage::reset);
}

QLineEdit* CSystemOptionsBackupLogPage::sizeField() const {
    return size_->edit();
}

void CSystemOptionsBackupLogPage::showOptions(const CSystemOptions& options) {
    const BackupLogTabTexts texts = backupLogTabTexts(options);
    folder_->setText(qtext(texts.default_backup_folder));
    const bool limited = texts.log_size == LogSizeChoice::Maximum;
    {
        const QSignalBlocker a(unlimited_);
        const QSignalBlocker b(maximum_);
        (limited ? maximum_ : unlimited_)->setChecked(true);
    }
    size_->setText(qtext(texts.maximum_size));
    limitChanged();
}

void CSystemOptionsBackupLogPage::limitChanged() {
    const bool limited = maximum_->isChecked();
    size_->setEnabled(limited);
    note_->setEnabled(limited);
}

void CSystemOptionsBackupLogPage::reset() {
    folder_->setText(qtext((backupDataFolderPath(data_folder_) / "").string()));
    unlimited_->setChecked(true);
    size_->setText(QString());
    limitChanged();
}

CSystemOptionsSheet::CSystemOptionsSheet(const CSystemOptions& options, const std::filesystem::path& data_folder,
                                         Prompter& prompter, FileChooser& chooser, QWidget* parent)
    : QDialog(parent), options_(options), prompter_(prompter) {
    setObjectName(QStringLiteral("OptionsSheet"));
    setWindowTitle(tr("Options"));
    setWindowIcon(uiIcon(QStringLiteral("options")));
    tabs_ = new QTabWidget(this);
    general_ = new CSystemOptionsPage(tabs_);
    backup_log_ = new CSystemOptionsBackupLogPage(data_folder, chooser, tabs_);
    tabs_->addTab(general_, tr("General"));
    tabs_->addTab(backup_log_, tr("Backup and Log"));
    general_->showOptions(options_);
    backup_log_->showOptions(options_);
    connect(tabs_, &QTabWidget::currentChanged, this, &CSystemOptionsSheet::tabChanged);

    auto* buttons =
        new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    buttons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    buttons->button(QDialogButtonBox::Help)->setText(tr("&Help"));
    // Plain buttons, as every other dialog of the program has.
    for (QAbstractButton* button : buttons->buttons()) button->setIcon(QIcon());
    connect(buttons, &QDialogButtonBox::accepted, this, &CSystemOptionsSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this,
            [this] { prompter_.openUrl(helpTopicUrl(QStringLiteral("introduction/options.html"))); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(buttons);
    setMinimumWidth(520);
}

bool CSystemOptionsSheet::leaveTab(int index) {
    if (index == 0) {
        options_ = general_->read(options_);
        return true;
    }
    BackupLogTabTexts texts;
    texts.default_backup_folder = backup_log_->folder_->text().toStdString();
    texts.log_size = backup_log_->maximum_->isChecked() ? LogSizeChoice::Maximum : LogSizeChoice::Unlimited;
    texts.maximum_size = backup_log_->size_->text().toStdString();
    const auto checked = checkBackupLogTab(texts, options_);
    if (!checked) {
        prompter_.warn(qtext(checked.failure().message));
        backup_log_->sizeField()->setFocus();
        backup_log_->sizeField()->selectAll();
        return false;
    }
    options_ = checked.value();
    return true;
}

void CSystemOptionsSheet::tabChanged(int index) {
    if (index == current_) return;
    const int wanted = index;
    {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(current_);
    }
    if (!leaveTab(current_)) return;
    current_ = wanted;
    const QSignalBlocker blocker(tabs_);
    tabs_->setCurrentIndex(wanted);
}

void CSystemOptionsSheet::accept() {
    // Both tabs are read, so a value never shown since opening is kept as is.
    const int other = current_ == 0 ? 1 : 0;
    if (!leaveTab(current_)) return;
    if (!leaveTab(other)) {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(other);
        current_ = other;
        return;
    }
    QDialog::accept();
}

}  // namespace keelvault::ui
