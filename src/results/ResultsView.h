// What the result store asks of the view that shows it: the results window of the plug-in, or
// the headless stand-in used by the command line and the tests. Entry rows are named by their
// checked object; location rows by their record.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "errors/VmkErrorLocation.h"
#include "support/Text.h"

namespace vmk {

// The checked object of a result entry: a host document (compared by identity), or after the
// document closed, the path of its file or its remote address. std::monostate stands for "none".
using ResultObject = ErrorParent;

// One row of the results view: an entry row (its object) or a location row (its record).
using ResultRowItem = std::variant<ResultObject, VmkErrorLocationRef>;

// True when both name the same object: the same document, or the same address text.
bool sameResultObject(const ResultObject& a, const ResultObject& b);
// True for an address object (a closed document's file path or remote address).
bool isAddressObject(const ResultObject& object);
// True for an address that names a local file: an absolute path or a file:// address.
bool isFileAddress(const std::string& address);

class ResultsView {
 public:
  virtual ~ResultsView() = default;

  // Shows the store's entries afresh. Entry rows keep their expanded state (it belongs to the
  // object, not to the entry record).
  virtual void reloadData() = 0;
  // Redraws one entry row and its location rows.
  virtual void reloadItem(const ResultObject& object) = 0;
  virtual bool isItemExpanded(const ResultObject& object) const = 0;
  virtual void expandItem(const ResultObject& object) = 0;
  virtual void collapseItem(const ResultObject& object) = 0;
  // The objects of the expanded entry rows.
  virtual std::vector<ResultObject> expandedItems() const = 0;

  // The message line below the rows; shown at once.
  virtual void setMessage(const UString& text) = 0;
  // The description pane of the selected row.
  virtual void setDescription(const UString& text) = 0;

  virtual void startBusyIndicator() = 0;
  virtual void stopBusyIndicator() = 0;

  // The item of the selected row, when a row is selected.
  virtual std::optional<ResultRowItem> selectedItem() const = 0;
  virtual void selectItem(const ResultRowItem& item) = 0;
  // The window comes to the front (loaded on first use).
  virtual void open() = 0;
};

// The view of a program without windows: it keeps the state a window would show, so that a
// command line or a test can read it back.
class HeadlessResultsView final : public ResultsView {
 public:
  void reloadData() override { ++reloadCount_; }
  void reloadItem(const ResultObject&) override { ++reloadCount_; }
  bool isItemExpanded(const ResultObject& object) const override;
  void expandItem(const ResultObject& object) override;
  void collapseItem(const ResultObject& object) override;
  std::vector<ResultObject> expandedItems() const override { return expanded_; }
  void setMessage(const UString& text) override { message_ = text; }
  void setDescription(const UString& text) override { description_ = text; }
  void startBusyIndicator() override { busy_ = true; }
  void stopBusyIndicator() override { busy_ = false; }
  std::optional<ResultRowItem> selectedItem() const override { return selected_; }
  void selectItem(const ResultRowItem& item) override { selected_ = item; }
  void open() override { ++openCount_; }

  void clearSelection() { selected_.reset(); }
  const UString& message() const { return message_; }
  const UString& description() const { return description_; }
  bool busy() const { return busy_; }
  int reloadCount() const { return reloadCount_; }
  int openCount() const { return openCount_; }

 private:
  std::vector<ResultObject> expanded_;
  UString message_;
  UString description_;
  bool busy_ = false;
  int reloadCount_ = 0;
  int openCount_ = 0;
  std::optional<ResultRowItem> selected_;
};

}  // namespace vmk
