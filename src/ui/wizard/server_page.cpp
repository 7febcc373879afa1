#include "ui/wizard/server_page.h"

#include <QLineEdit>
#include <QVBoxLayout>

#include "core/editing/server_block_rules.h"
#include "ui/wizard/server_block.h"
#include "ui/wizard/server_requests.h"

namespace keelvault::ui {

ServerPageContent::ServerPageContent(PageContext& context, PageMode mode, ServerPageRole role, bool load_catalogue,
                                     QWidget* parent)
    : PageContent(context, mode, parent), role_(role), load_catalogue_(load_catalogue && mode == PageMode::Wizard) {
    setObjectName(QStringLiteral("ServerPage"));
    const int type = context.task.task_type;
    const bool with_database = type == kTypeBackupToDatabase || type == kTypeRestoreFromDatabase;
    block_ = new ServerBlock(context, title(), mode == PageMode::View, with_database, this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(block_);
    layout->addStretch();
}

QString ServerPageContent::title() const {
    return role_ == ServerPageRole::Source ? tr("Source MySQL Server") : tr("Destination MySQL Server");
}

CServerSettings& ServerPageContent::server() const {
    return role_ == ServerPageRole::Source ? task().source : task().destination;
}

void ServerPageContent::load() {
    block_->showServer(server());
}

bool ServerPageContent::accept() {
    auto value = block_->validated();
    if (!value) return false;
    if (role_ == ServerPageRole::Destination) {
        const auto distinct = checkDestinationNotSource(*value, task().source, task().task_type);
        if (!distinct) return refuseWith(distinct.failure().message, block_->hostField());
    }
    if (load_catalogue_) {
        if (const auto shape = catalogueShapeFor(task().task_type)) {
            auto catalogue = loadCatalogueOrReport(*value, *shape, prompter(), window());
            if (!catalogue) return false;
            context().cache.replace(std::move(*catalogue));
        }
    }
    server() = *value;
    return true;
}

}  // namespace keelvault::ui
