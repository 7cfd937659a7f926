#include "report/output/ppdevice.h"

#include <algorithm>

#include "platform/classlib/core/format.h"
#include "platform/classlib/core/strutils.h"

std::string ppPageKey(int pageNo) { return Format("%8d", {pageNo}); }

// ---- Devices ---------------------------------------------------------------------

IMPLEMENT_CLASS(TppDevice, TppCommunicator)
IMPLEMENT_CLASS(TppRasterDevice, TppDevice)

TppDevice::TppDevice(TComponent* owner) : TppCommunicator(owner) {}

TppDevice::~TppDevice() { SetPublisher(nullptr); }

void TppDevice::SetStacked(bool value) {
  if (!publisher_ && !busy_) stacked_ = value;
}

void TppDevice::SetStackName(const std::string& name) {
  if (!publisher_ && !busy_) stackName_ = name;
}

void TppDevice::StartJob() {
  busy_ = true;
  if (OnStartJob) OnStartJob(this);
}

void TppDevice::EndJob() {
  busy_ = false;
  if (OnEndJob) OnEndJob(this);
}

void TppDevice::CancelJob() {
  busy_ = false;
  if (OnCancelJob) OnCancelJob(this);
}

void TppDevice::ResetPageRequest() {
  PageList.Clear();
  PageNo = 1;
  PageRequest = prAll;
  WantsPages = true;
}

void TppDevice::ReceivePage(TppPage* page) {
  const std::string key = ppPageKey(page->AbsolutePageNo);
  switch (PageRequest) {
    case prAll: PageRequested = true; break;
    case prPageList: PageRequested = PageList.IndexOf(key) >= 0; break;
    case prOnePage: PageRequested = page->AbsolutePageNo == PageNo; break;
    case prFirstPage: PageRequested = page->FirstPage; break;
    case prLastPage: PageRequested = page->LastPage; break;
  }
  SkipPage = page->FirstPassPage || (!page->FinalPage && WithholdsDraftPages());
  if (OnPageReceive) OnPageReceive(this, page);
  if (!WantsPages || !page->FinalPage || page->FirstPassPage) return;
  switch (PageRequest) {
    case prAll:
    case prLastPage:
      if (page->LastPage) WantsPages = false;
      break;
    case prPageList:
      if (const int i = PageList.IndexOf(key); i >= 0) PageList.Delete(i);
      if (PageList.Count() == 0) WantsPages = false;
      break;
    case prOnePage:
      if (page->AbsolutePageNo == PageNo) WantsPages = false;
      break;
    case prFirstPage:
      if (page->AbsolutePageNo == 1) WantsPages = false;
      break;
  }
}

void TppDevice::DrawPage(TppPage* page) {
  const TppPageDef& def = page->PageDef();
  for (int i = 0; i < page->DrawCommandCount(); ++i) {
    TppDrawCommand* command = page->DrawCommands(i);
    if (command->Left <= def.mmWidth() && command->Top <= def.mmHeight()) command->Draw(this);
  }
}

void TppDevice::RequestPages() {
  WantsPages = true;
  if (publisher_) publisher_->ProcessRequests();
}

void TppDevice::SetPublisher(TppPublisher* publisher) {
  if (publisher == publisher_) return;
  if (publisher_) publisher_->RemoveDevice(this);
  if (publisher) publisher->AddDevice(this);
}

void TppDevice::Notify(TppCommunicator* sender, int operation) {
  inherited::Notify(sender, operation);
  if (operation == ppopRemove && sender == publisher_) publisher_ = nullptr;
}

// ---- The publisher ------------------------------------------------------------------

IMPLEMENT_CLASS(TppPublisher, TppCommunicator)

TppPublisher::~TppPublisher() {
  for (TppDevice* device : std::vector(devices_)) device->publisher_ = nullptr;
  for (auto& [name, stack] : stacks_)
    for (TppDevice* device : stack) device->publisher_ = nullptr;
}

void TppPublisher::AddDevice(TppDevice* device) {
  if (!device) return;
  for (const auto& [name, stack] : stacks_)
    if (std::find(stack.begin(), stack.end(), device) != stack.end()) return;  // refused
  if (device->publisher_ && device->publisher_ != this) device->publisher_->RemoveDevice(device);
  if (device->Stacked()) {
    std::vector<TppDevice*>& stack = stacks_[device->StackName()];
    if (!stack.empty()) std::erase(devices_, stack.front());  // only the newest receives
    stack.insert(stack.begin(), device);
  }
  if (std::find(devices_.begin(), devices_.end(), device) == devices_.end())
    devices_.push_back(device);
  device->publisher_ = this;
  AddNotify(device);
}

void TppPublisher::RemoveDevice(TppDevice* device) {
  if (!device) return;
  std::erase(devices_, device);
  auto it = stacks_.find(device->StackName());
  if (device->Stacked() && it != stacks_.end()) {
    std::vector<TppDevice*>& stack = it->second;
    const bool wasTop = !stack.empty() && stack.front() == device;
    std::erase(stack, device);
    if (wasTop && !stack.empty()) devices_.push_back(stack.front());
    if (stack.empty()) stacks_.erase(it);
  }
  if (device->publisher_ == this) device->publisher_ = nullptr;
  RemoveNotify(device);
}

void TppPublisher::Notify(TppCommunicator* sender, int operation) {
  if (operation == ppopRemove)
    if (auto* device = dynamic_cast<TppDevice*>(sender)) RemoveDevice(device);
  inherited::Notify(sender, operation);
}

void TppPublisher::SendToDevices(int operation, TppPage* page) {
  for (TppDevice* device : std::vector(devices_)) {
    switch (operation) {
      case 0: device->CancelJob(); break;
      case 1: device->EndJob(); break;
      case 2:
        if (!device->WantsPages) break;
        if (device->OnPageRequest) device->OnPageRequest(device);
        MergeRequest(device->PageRequest, device->PageNo, &device->PageList);
        break;
      case 3:
        if (device->WantsPages) device->ReceivePage(page);
        break;
      case 4: device->StartJob(); break;
      case 5: device->ResetPageRequest(); break;
    }
  }
}

void TppPublisher::ProcessRequests() {
  SendToDevices(4);
  collecting_ = true;
  freshRequest_ = true;
  SendToDevices(2);
  collecting_ = false;
  serving_ = true;
  ServeRequest();
  serving_ = false;
  SendToDevices(1);
  ResetRequest();
}

void TppPublisher::ResetRequest() {
  request_ = prAll;
  requestPageNo_ = 0;
  requestList_.Clear();
}

void TppPublisher::MergeRequest(TppPageRequestType kind, int pageNo, const TStrings* pageList) {
  if (!freshRequest_ && !collecting_ && !serving_) freshRequest_ = true;
  requestMet_ = false;
  if (freshRequest_) {
    request_ = kind;
    requestPageNo_ = pageNo;
    requestList_.Clear();
    if (kind == prPageList && pageList) requestList_.Assign(pageList);
    freshRequest_ = false;
    return;
  }
  if (request_ == prAll) return;
  if (kind != prOnePage && kind != prFirstPage) {
    request_ = prAll;
  } else if (request_ == prOnePage) {
    if (!(requestPageNo_ == 1 && pageNo == 1)) {
      request_ = prPageList;
      requestList_.Clear();
      requestList_.Add(ppPageKey(requestPageNo_));
      requestList_.Add(ppPageKey(pageNo));
    }
  } else if (request_ == prPageList) {
    if (requestList_.IndexOf(ppPageKey(pageNo)) < 0) requestList_.Add(ppPageKey(pageNo));
  }
}

void TppPublisher::ServeRequest() {
  if (collecting_ || requestMet_) return;
  requestMet_ = ServeFromCache();
  if (!requestMet_ && OnPageRequest) OnPageRequest(this, request_, &requestList_, requestPageNo_);
}

TppPage* TppPublisher::CachedPage(int absolutePageNo) const {
  auto it = cache_.find(absolutePageNo);
  return it == cache_.end() ? nullptr : it->second.get();
}

bool TppPublisher::Replay(int absolutePageNo) {
  TppPage* page = CachedPage(absolutePageNo);
  if (page) ReceivePage(page);
  return page != nullptr;
}

bool TppPublisher::ServeFromCache() {
  if (!CachePages) return false;
  replaying_ = true;
  bool served = false;
  switch (request_) {
    case prAll:
      // All pages only when every one of them is cached: a preview that
      // jumped ahead leaves gaps that only the engine can fill.
      if (completed_ && lastPageNo_ > 0) {
        bool whole = true;
        for (int p = 1; p <= lastPageNo_ && whole; ++p) whole = CachedPage(p) != nullptr;
        if (whole)
          for (int p = 1; p <= lastPageNo_; ++p) served = Replay(p) || served;
      }
      break;
    case prPageList: {
      std::vector<int> pages;  // the list shrinks as pages are met
      for (int i = 0; i < requestList_.Count(); ++i)
        pages.push_back(StrToIntDef(Trim(requestList_[i]), 0));
      for (int p : pages) Replay(p);
      // Met only when every listed page came from the cache; the rest are
      // generated (the list holds just those now).
      served = requestList_.Count() == 0;
      break;
    }
    case prOnePage: served = Replay(requestPageNo_); break;
    case prFirstPage: served = Replay(1); break;
    case prLastPage:
      if (completed_) served = Replay(lastPageNo_);
      break;
  }
  replaying_ = false;
  return served;
}

void TppPublisher::ReceivePage(TppPage* page) {
  if (!page) return;
  StorePage(page);
  SendToDevices(3, page);
  CheckRequestMet(page);
  if (!completed_ && page->LastPage && page->FinalPage && !page->FirstPassPage) {
    completed_ = true;
    lastPageNo_ = page->AbsolutePageNo;
  }
}

void TppPublisher::StorePage(TppPage* page) {
  if (!CachePages || replaying_ || !page->FinalPage || page->FirstPassPage) return;
  auto copy = std::make_unique<TppPage>();
  copy->Assign(page);
  copy->FirstPassPage = false;
  cache_[page->AbsolutePageNo] = std::move(copy);  // replaces an older copy
  if (cache_.size() > 1) UpdateCachedPageCounts(page);
}

void TppPublisher::CheckRequestMet(TppPage* page) {
  switch (request_) {
    case prAll:
    case prLastPage: requestMet_ = page->LastPage; break;
    case prPageList:
      if (const int i = requestList_.IndexOf(ppPageKey(page->AbsolutePageNo)); i >= 0)
        requestList_.Delete(i);
      requestMet_ = requestList_.Count() == 0;
      break;
    case prOnePage: requestMet_ = page->AbsolutePageNo == requestPageNo_; break;
    case prFirstPage: requestMet_ = page->AbsolutePageNo == 1; break;
  }
}

void TppPublisher::UpdateCachedPageCounts(TppPage* page) {
  for (auto& [number, cached] : cache_) {
    if (cached->AbsolutePageCount >= page->AbsolutePageCount) continue;
    cached->AbsolutePageCount = page->AbsolutePageCount;
    if (cached->ControlGroupBreakNo == page->ControlGroupBreakNo &&
        cached->PageCount < page->PageCount)
      cached->PageCount = page->PageCount;
    cached->RecalculateCommands(nullptr);
  }
}

void TppPublisher::Reset() {
  cache_.clear();
  completed_ = false;
  lastPageNo_ = 0;
  requestMet_ = false;
  ResetRequest();
}
