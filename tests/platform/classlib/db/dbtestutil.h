#pragma once
// Shared helpers of the data-access tests: a dataset of numbered rows and an
// event recorder.

#include <memory>
#include <string>
#include <vector>

#include "memdataset.h"

// A dataset with ID (integer), Name (string 20) and Amount (float), holding
// `rows` rows ID = 1..rows, Name = "N<id>", Amount = id * 1.5.
std::unique_ptr<TMemDataSet> MakeNumbered(int rows, TComponent* owner = nullptr);

// Records the dataset's Before/After and other events, in order, as names.
struct EventLog {
  std::vector<std::string> names;
  void Attach(TDataSet& ds);
  std::string Joined() const;
  void Clear() { names.clear(); }
};

// The IDs of the window rows, as the dataset's buffers hold them, read through
// a link of the given size.
std::vector<long> WindowIds(TDataSet& ds, class TDataLink& link);
