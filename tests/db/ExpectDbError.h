#pragma once
// Asserts that a statement throws DbError whose description is exactly the given text.

#include <gtest/gtest.h>

#include "db/DbError.h"

#define EXPECT_DB_ERROR(statement, text)                                       \
    do {                                                                       \
        try {                                                                  \
            statement;                                                         \
            ADD_FAILURE() << "no DbError from " #statement;                    \
        } catch (const ::dsadmin::DbError& e) {                                \
            EXPECT_EQ(std::string(e.what()), std::string(text)) << #statement; \
        }                                                                      \
    } while (0)
