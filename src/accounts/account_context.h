#pragma once
// What the account handlers work on: the window's controls, its dialogs, the
// shared record and row, and the category catalogue.
#include "accounts/account_store.h"
#include "accounts/category_catalogue.h"
#include "controls/control_model.h"
#include "controls/dialogs.h"

namespace vidralo {

struct AccountContext {
  ControlModel& controls;
  Dialogs& dialogs;
  AccountStore& store;
  CategoryCatalogue& categories;
};

}  // namespace vidralo
