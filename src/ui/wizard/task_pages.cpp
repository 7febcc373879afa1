#include "ui/wizard/task_pages.h"

#include "ui/wizard/backup_file_page.h"
#include "ui/wizard/buffer_page.h"
#include "ui/wizard/choose_databases_page.h"
#include "ui/wizard/choose_tables_page.h"
#include "ui/wizard/compression_page.h"
#include "ui/wizard/dest_database_page.h"
#include "ui/wizard/export_file_page.h"
#include "ui/wizard/restore_files_page.h"
#include "ui/wizard/schedule_page.h"
#include "ui/wizard/select_tables_page.h"
#include "ui/wizard/server_page.h"
#include "ui/wizard/source_database_page.h"
#include "ui/wizard/sql_script_page.h"
#include "ui/wizard/summary_page.h"
#include "ui/wizard/task_name_page.h"

namespace keelvault::ui {

namespace {

// The source page of these types fills the catalogue the next page chooses from.
bool sourceLoadsCatalogue(int type) {
    return type == kTypeBackupToFiles || type == kTypeBackupToServer || type == kTypeExport ||
           type == kTypeRestoreFromServer;
}

}  // namespace

PageContent* createTaskPage(TaskPage page, PageContext& context, PageMode mode) {
    const int type = context.task.task_type;
    const bool view = mode == PageMode::View;
    switch (page) {
        case TaskPage::TaskName:
            return new TaskNameContent(context, mode);
        case TaskPage::SourceServer:
            return new ServerPageContent(context, mode, ServerPageRole::Source, sourceLoadsCatalogue(type));
        case TaskPage::DestinationServer:
            return new ServerPageContent(context, mode, ServerPageRole::Destination);
        case TaskPage::ChooseDatabases:
            return new ChooseDatabasesContent(context, mode);
        case TaskPage::SourceDatabase:
            if (view) return new ServerPageContent(context, mode, ServerPageRole::Source);
            return new SourceDatabaseContent(context, mode);
        case TaskPage::ChooseTables:
            return new ChooseTablesContent(context, mode);
        case TaskPage::DestDatabase:
            if (view) return new ServerPageContent(context, mode, ServerPageRole::Destination);
            return new DestDatabaseContent(context, mode);
        case TaskPage::SelectTables:
            return new SelectTablesContent(context, mode);
        case TaskPage::ExportFile:
            return new ExportFileContent(context, mode);
        case TaskPage::BackupFile:
            return new BackupFileContent(context, mode);
        case TaskPage::Compression:
            return new CompressionContent(context, mode);
        case TaskPage::Buffer:
            return new BufferContent(context, mode);
        case TaskPage::SqlScript:
            return new SqlScriptContent(context, mode);
        case TaskPage::RestoreFiles:
            return new RestoreFilesContent(context, mode);
        case TaskPage::Schedule:
            return new ScheduleContent(context, mode);
        case TaskPage::Summary:
            return new TaskDetailsContent(context, mode);
    }
    return nullptr;
}

}  // namespace keelvault::ui
