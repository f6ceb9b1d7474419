#pragma once

#include "tree/account_tree_model.h"

#include <QAbstractItemModelTester>

// The account tree's model under Qt's model checker: every change it
// announces is checked against the rules that views and proxies rely on, and
// a broken rule fails the running test.
class CheckedTreeModel : public AccountTreeModel {
public:
    CheckedTreeModel() : m_tester(this, QAbstractItemModelTester::FailureReportingMode::QtTest) {}

private:
    QAbstractItemModelTester m_tester;
};
