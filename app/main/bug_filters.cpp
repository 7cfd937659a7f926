// Quick filters and saved filters.
// (Stub bodies until this area's routines are filled in this file.)

#include "app/main/bug.h"

void TfrmBug::WireFilterHandlers() {}
void TfrmBug::CreateSaveFilter() {}
void TfrmBug::ApplyFilter() {}
std::string TfrmBug::PriorityFilterClause() { return {}; }
std::string TfrmBug::StatusFilterClause() { return {}; }
void TfrmBug::UpdateFilterHints() {}
void TfrmBug::LoadFilterButtons() {}
void TfrmBug::SaveFilterButtons() {}
void TfrmBug::FilterAllKinds(TDataSet*) {}
void TfrmBug::FilterBugReportsOnly(TDataSet*) {}
void TfrmBug::FilterFeatureRequestsOnly(TDataSet*) {}
