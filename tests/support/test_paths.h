#pragma once

#include <QString>

// Where the built helper programs and the source tree are, for tests that start real children.
inline QString TestHelperPath(const QString& name)
{
    return QString::fromUtf8(ORVEL_TEST_HELPER_DIR) + u'/' + name;
}

inline QString SourceTreePath(const QString& relative)
{
    return QString::fromUtf8(ORVEL_SOURCE_DIR) + u'/' + relative;
}
