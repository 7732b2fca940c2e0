// The search for key lengths of 5 and more, whose orders are too many to weigh one by one:
// branch and bound over the columns, each given its rank in turn, every branch left as soon as
// its partial cost reaches the bar of the orders kept.
#pragma once

#include "analysis/kept_orders.hpp"

// Offers kept every order of kept.n columns whose cost may stay under its bar.
void search_by_columns(kept_orders& kept);
