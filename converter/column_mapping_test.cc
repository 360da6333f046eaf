#include "converter/column_mapping.h"

#include <gtest/gtest.h>

namespace converter {
namespace {

TEST(ColumnMapping, Placeholder) {}

}  // namespace
}  // namespace converter
