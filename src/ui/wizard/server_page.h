#pragma once

#include "ui/wizard/page_content.h"
#include "ui/wizard/page_hosts.h"

namespace keelvault::ui {

class ServerBlock;

enum class ServerPageRole { Source, Destination };

// The server block alone: which of the task's two servers it edits is its
// role. A wizard page in the source role with `load_catalogue` loads the
// server's databases and tables for the selection pages when it is left.
class ServerPageContent : public PageContent {
    Q_OBJECT
public:
    ServerPageContent(PageContext& context, PageMode mode, ServerPageRole role, bool load_catalogue = false,
                      QWidget* parent = nullptr);

    QString title() const override;
    ServerBlock* block() const { return block_; }

protected:
    void load() override;
    bool accept() override;

private:
    CServerSettings& server() const;

    ServerPageRole role_;
    bool load_catalogue_;
    ServerBlock* block_;
};

using CMySQLServerPage = WizardPage<ServerPageContent>;
using CPageMySQLServerDlg = EditTab<ServerPageContent>;
using CPageViewMySQLServerDlg = ViewTab<ServerPageContent>;

}  // namespace keelvault::ui
