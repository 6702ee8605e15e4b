// The window's menus, toolbar and their actions: builds them, routes each item to a command
// handler by its command number, and keeps the radio and check marks in step with the
// document's settings and the bars' state.
#pragma once

#include <QObject>

#include <functional>
#include <map>
#include <string>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QString;
class QToolBar;

namespace ovixlog {

class COvixLogDoc;

class MenuController : public QObject {
  Q_OBJECT

 public:
  // Builds the menu bar and the toolbar of `window`. Every command item calls `onCommand`
  // with its command number.
  MenuController(QMainWindow* window, std::function<void(int)> onCommand);

  // The action of a command number, or null.
  QAction* Action(int id) const;
  QMenu* fileMenu() const { return fileMenu_; }
  QMenu* viewMenu() const { return viewMenu_; }
  QMenu* optionsMenu() const { return optionsMenu_; }
  QMenu* helpMenu() const { return helpMenu_; }
  QToolBar* toolBar() const { return toolBar_; }

  // The update rules: the View items from the bars and panes, and, with a document, the
  // Options marks from its fields and the port items' texts from their bound devices (looked
  // up under `deviceRoot`).
  void UpdateMarks(const COvixLogDoc* document, bool chartsShown, const std::string& deviceRoot);

 signals:
  // A menu is about to open or a bar was shown or hidden: the marks must be brought up to date.
  void marksStale();

 private:
  QAction* AddCommand(QMenu* menu, int id, const QString& text);
  void CreateMenus();
  void CreateToolBar();
  void UpdatePortTexts(const std::string& deviceRoot);

  QMainWindow* window_;
  std::function<void(int)> onCommand_;
  std::map<int, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QMenu* viewMenu_ = nullptr;
  QMenu* optionsMenu_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QActionGroup* modelGroup_ = nullptr;
  QActionGroup* portGroup_ = nullptr;
  QActionGroup* orderGroup_ = nullptr;
  QToolBar* toolBar_ = nullptr;
};

}  // namespace ovixlog
