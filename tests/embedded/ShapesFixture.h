#pragma once
// The embedded fixture with catalogue rows in it: two categories (2 under 1, disabled) and
// three documents (1 and 2 in category 1, 3 in category 2), inserted as the designer does.

#include "EmbeddedFixture.h"

namespace orra::embedded::test {

class Shapes : public EmbeddedTest {
protected:
    void SetUp() override
    {
        EmbeddedTest::SetUp();
        c = connect();
        // Two categories and three documents, inserted as the designer does.
        c->execute(QStringLiteral("insert into catalogue..tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select "
                                  "1,0,'Category-1','T',0,suser_sid()"));
        c->execute(QStringLiteral("insert into catalogue..tbOrraCategory(ID,ParentID,Name,Type,Disabled,Owner) select "
                                  "2,1,'Category-2','T',1,suser_sid()"));
        for (int id = 1; id <= 3; ++id)
            c->execute(QStringLiteral(
                "insert into catalogue..tbOrraSQL(ID,CategoryID,Name,Description,Type,Disabled,SQLtxt,Owner) select "
                "%1,%2,'Document-%1','','T',0,'<Document ID=\"B0\"/>',suser_sid()")
                           .arg(id)
                           .arg(id == 3 ? 2 : 1));
    }
    std::unique_ptr<db::Connection> c;
};

}   // namespace orra::embedded::test
