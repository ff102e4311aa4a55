#include "results/ResultsView.h"

#include <algorithm>

#include "host/HostDocument.h"

namespace vmk {

bool sameResultObject(const ResultObject& a, const ResultObject& b) {
  return a == b;
}

bool isAddressObject(const ResultObject& object) {
  return std::holds_alternative<std::string>(object);
}

bool isFileAddress(const std::string& address) {
  return address.starts_with('/') || address.starts_with("file://");
}

bool HeadlessResultsView::isItemExpanded(const ResultObject& object) const {
  return std::find(expanded_.begin(), expanded_.end(), object) != expanded_.end();
}

void HeadlessResultsView::expandItem(const ResultObject& object) {
  if (!isItemExpanded(object)) expanded_.push_back(object);
}

void HeadlessResultsView::collapseItem(const ResultObject& object) {
  std::erase(expanded_, object);
}

}  // namespace vmk
