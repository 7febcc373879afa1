#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "core/model/task.h"

class QAction;
class QTreeWidget;

namespace keelvault::ui {

class Prompter;

// "MySQL Servers": the saved connections. Adds, edits and deletes save the
// list at once through `save`; moves change the list in memory only.
class ServerManagerDialog : public QDialog {
    Q_OBJECT
public:
    ServerManagerDialog(std::vector<CServerSettings>& servers, std::function<bool()> save, Prompter& prompter,
                        QWidget* parent = nullptr);

    QTreeWidget* list() const { return list_; }
    QAction* addAction() const { return add_; }
    QAction* editAction() const { return edit_; }
    QAction* deleteAction() const { return delete_; }
    QAction* viewAction() const { return view_; }
    QAction* moveUpAction() const { return up_; }
    QAction* moveDownAction() const { return down_; }
    QAction* closeAction() const { return close_; }
    QAction* helpAction() const { return help_; }

    // The texts of one row, as the list shows them.
    static QStringList rowTexts(const CServerSettings& server);

private:
    void fill();
    void setRow(int row);
    int selectedRow() const;
    bool rowChosen(int row);
    void onAdd();
    void onEdit();
    void onDelete();
    void onView();
    void onMove(bool up);

    std::vector<CServerSettings>& servers_;
    std::function<bool()> save_;
    Prompter& prompter_;
    QTreeWidget* list_;
    QAction* add_;
    QAction* edit_;
    QAction* delete_;
    QAction* view_;
    QAction* up_;
    QAction* down_;
    QAction* close_;
    QAction* help_;
};

}  // namespace keelvault::ui
