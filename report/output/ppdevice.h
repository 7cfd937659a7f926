#pragma once
// The publisher and the device base: devices ask for pages (all, a list, one,
// the first, the last); the publisher merges their requests, serves what its
// cache of final pages holds and asks the report to generate the rest.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/classlib/core/strings.h"
#include "report/model/ppcomm.h"
#include "report/output/pppage.h"

// What a device asks for.
enum TppPageRequestType { prAll = 0, prPageList = 1, prOnePage = 2, prFirstPage = 3, prLastPage = 4 };

class TppCustomCancelDialog;
class TppPublisher;

class TppDevice : public TppCommunicator {
  DECLARE_CLASS(TppDevice, TppCommunicator)
 public:
  explicit TppDevice(TComponent* owner = nullptr);
  ~TppDevice() override;

  virtual void SetStacked(bool value);
  virtual void SetStackName(const std::string& name);
  virtual void CancelJob();
  // Draws one command; a kind the device does not know draws nothing.
  virtual bool DrawCommand(TppDrawCommand*) { return false; }
  virtual bool DrawCommandDirect(TppDrawCommand*) { return false; }
  virtual void EndJob();
  virtual bool WithholdsDraftPages() const { return true; }
  // Decides whether the page was asked for (PageRequested) and whether it
  // is a draft to leave out (SkipPage); descendants output it after this.
  virtual void ReceivePage(TppPage* page);
  virtual void ResetPageRequest();
  virtual void StartJob();

  // Draws the commands that start on the page.
  void DrawPage(TppPage* page);
  // Asks the publisher for the pages of this device's request.
  void RequestPages();

  TppPublisher* Publisher() const { return publisher_; }
  // Leaves the old publisher first, so a device is never listed twice.
  void SetPublisher(TppPublisher* publisher);
  bool Stacked() const { return stacked_; }
  const std::string& StackName() const { return stackName_; }
  bool Busy() const { return busy_; }

  bool SkipPage = false;
  bool PageRequested = false;
  TStringList PageList;  // "%8d" page numbers
  int PageNo = 1;
  TppPageRequestType PageRequest = prAll;
  bool WantsPages = true;
  // The status window of the job (set by the report); the devices that
  // print or write pages show their progress there.
  TppCustomCancelDialog* CancelDialog = nullptr;

  TNotifyEvent OnCancelJob, OnPageRequest, OnStartJob, OnEndJob;
  std::function<void(TObject* sender, TppPage* page)> OnPageReceive;

 protected:
  void Notify(TppCommunicator* sender, int operation) override;

 private:
  friend class TppPublisher;
  TppPublisher* publisher_ = nullptr;
  bool stacked_ = false;
  std::string stackName_;
  bool busy_ = false;
};

// The common base of the screen and printer devices.
class TppRasterDevice : public TppDevice {
  DECLARE_CLASS(TppRasterDevice, TppDevice)
 public:
  using TppDevice::TppDevice;
};

// "%8d", the key of page lists and of the page cache.
std::string ppPageKey(int pageNo);

class TppPublisher : public TppCommunicator {
  DECLARE_CLASS(TppPublisher, TppCommunicator)
 public:
  explicit TppPublisher(TComponent* owner = nullptr) : TppCommunicator(owner) {}
  ~TppPublisher() override;

  void AddDevice(TppDevice* device);
  void RemoveDevice(TppDevice* device);
  const std::vector<TppDevice*>& Devices() const { return devices_; }

  // Starts every device's job, gathers and serves their requests, ends the jobs.
  void ProcessRequests();
  void MergeRequest(TppPageRequestType kind, int pageNo, const TStrings* pageList);
  void ReceivePage(TppPage* page);
  void CancelJob() { SendToDevices(0); }
  // Forgets the cache and the completed state (a new generation).
  void Reset();

  TppPage* CachedPage(int absolutePageNo) const;
  int CachedPageCount() const { return int(cache_.size()); }

  bool CachePages = false;
  // Asks the report for pages the cache cannot serve.
  std::function<void(TObject* sender, TppPageRequestType kind, TStrings* pageList, int pageNo)>
      OnPageRequest;

  bool Completed() const { return completed_; }
  int LastPageNo() const { return lastPageNo_; }
  bool RequestMet() const { return requestMet_; }
  TppPageRequestType Request() const { return request_; }
  int RequestPageNo() const { return requestPageNo_; }
  const TStringList& RequestPageList() const { return requestList_; }

 protected:
  void Notify(TppCommunicator* sender, int operation) override;

 private:
  void SendToDevices(int operation, TppPage* page = nullptr);
  void ServeRequest();
  bool ServeFromCache();
  bool Replay(int absolutePageNo);
  void StorePage(TppPage* page);
  void CheckRequestMet(TppPage* page);
  void UpdateCachedPageCounts(TppPage* page);
  void ResetRequest();

  std::vector<TppDevice*> devices_;
  std::map<std::string, std::vector<TppDevice*>> stacks_;  // top first
  std::map<int, std::unique_ptr<TppPage>> cache_;
  TppPageRequestType request_ = prAll;
  int requestPageNo_ = 0;
  TStringList requestList_;
  bool completed_ = false;
  int lastPageNo_ = 0;
  bool requestMet_ = false;
  bool replaying_ = false;
  bool collecting_ = false;
  bool serving_ = false;
  bool freshRequest_ = false;
};
