// orra-demo: makes the demonstration server: a catalogue with sample documents (stored as the
// designer stores them: with their checksums and their include relations), the connection
// registry, and a sales database with a few thousand rows of sample data. An existing server is
// kept; only its sample rows are brought up to date.

#include "catalogue/EmbeddedCatalogue.h"
#include "common/CatalogueChecksums.h"
#include "common/Xml.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"
#include "platform/host/Error.h"

#include <QCoreApplication>
#include <QDate>
#include <QStringList>
#include <cstdio>
#include <random>

using namespace orra;

namespace {

const char* kCities[] = {"İstanbul", "Ankara", "İzmir", "Bursa", "Antalya", "Konya", "Adana", "Gaziantep", "Kayseri",
    "Eskişehir", "Trabzon", "Samsun"};
const char* kFirst[] = {"Ayşe", "Mehmet", "Fatma", "Mustafa", "Emine", "Ahmet", "Hatice", "Ali", "Zeynep", "Hüseyin",
    "Elif", "Hasan", "Özge", "İbrahim", "Şule", "Çağrı", "Gül", "Oğuz", "Ümit", "Deniz"};
const char* kLast[] = {"Yılmaz", "Kaya", "Demir", "Şahin", "Çelik", "Yıldız", "Yıldırım", "Öztürk", "Aydın", "Özdemir",
    "Arslan", "Doğan", "Kılıç", "Aslan", "Çetin", "Kara", "Koç", "Kurt", "Özkan", "Şimşek"};
const char* kProducts[] = {"Çay (1 kg)", "Türk kahvesi (250 g)", "Zeytinyağı (1 l)", "Lokum (500 g)", "Fındık (1 kg)",
    "Kuru kayısı (500 g)", "Bal (850 g)", "Tahin (300 g)", "Pekmez (700 g)", "Baklava (1 kg)", "Simit (10 adet)",
    "Beyaz peynir (1 kg)", "Kaşar (500 g)", "Sucuk (500 g)", "Pastırma (250 g)", "Nar ekşisi (330 ml)",
    "Pul biber (200 g)", "Mercimek (1 kg)", "Bulgur (1 kg)", "Pirinç (2 kg)"};

template <size_t N> const char* pick(const char* (&list)[N], std::mt19937& rng)
{
    return list[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

void makeSalesData(db::Connection& sales)
{
    sales.execute("create table Customers (ID int primary key, Name nvarchar(60), City nvarchar(30), Since datetime)");
    sales.execute("create table Products (ID int primary key, Name nvarchar(60), Price money)");
    sales.execute("create table Orders (ID int primary key, CustomerID int references Customers(ID), "
                  "ProductID int references Products(ID), OrderDate datetime, Quantity int, Amount money)");
    std::mt19937 rng(20261208);
    sales.beginTrans();
    for (int i = 1; i <= 400; ++i) {
        const QString name = QString::fromUtf8(pick(kFirst, rng)) + ' ' + QString::fromUtf8(pick(kLast, rng));
        const QDate since = QDate(2015, 1, 1).addDays(std::uniform_int_distribution<int>(0, 3650)(rng));
        sales.execute("insert into Customers values (?, ?, ?, ?)",
            {i, name, QString::fromUtf8(pick(kCities, rng)), QDateTime(since, QTime(9, 0))});
    }
    std::vector<double> prices;
    for (size_t i = 0; i < std::size(kProducts); ++i) {
        const double price = std::uniform_int_distribution<int>(2500, 95000)(rng) / 100.0;
        prices.push_back(price);
        sales.execute("insert into Products values (?, ?, ?)", {int(i + 1), QString::fromUtf8(kProducts[i]), price});
    }
    for (int i = 1; i <= 6000; ++i) {
        const int product = std::uniform_int_distribution<int>(1, int(prices.size()))(rng);
        const int quantity = std::uniform_int_distribution<int>(1, 12)(rng);
        const QDate day = QDate(2025, 1, 1).addDays(std::uniform_int_distribution<int>(0, 364)(rng));
        sales.execute("insert into Orders values (?, ?, ?, ?, ?, ?)",
            {i, std::uniform_int_distribution<int>(1, 400)(rng), product, QDateTime(day, QTime(12, 0)), quantity,
                std::round(prices[product - 1] * quantity * 100) / 100});
    }
    sales.commitTrans();
}

// Building documents with the XML layer, attribute order as the designer writes them.
struct DocumentBuilder {
    xml::Document doc;
    xml::Node root;

    DocumentBuilder(const QString& server, const QString& description)
    {
        doc.loadXML("<Document/>");
        root = doc.documentElement();
        xml::setAttribute(root, "ID", "B0");
        xml::setAttribute(root, "Server", server);
        xml::appendCData(root, description);
    }
    static xml::Node block(xml::Node parent, const QString& id, const QString& name, const QString& sql)
    {
        xml::Node b = xml::appendElement(parent, "Block");
        xml::setAttribute(b, "ID", id);
        xml::setAttribute(b, "Name", name);
        xml::appendCData(b, sql);
        return b;
    }
    static void parameter(xml::Node owner, const QString& name, const QString& caption, const QString& defaultValue,
        const QString& type, const QString& source = QString())
    {
        xml::Node p = xml::appendElement(owner, "Parameter");
        const QStringList attributes{"ID", "Name", "Caption", "DefaultValue", "Type", "Source", "ReturnCol", "Prompt",
            "SelectionType", "Behaviour"};
        const QStringList values{xml::attribute(owner, "ID") + ".P_" + name, name, caption, defaultValue, type, source,
            "", "", "single", "dynamic"};
        for (qsizetype i = 0; i < attributes.size(); ++i) xml::setAttribute(p, attributes[i], values[i]);
    }
    static xml::Node include(xml::Node parent, const QString& id, const QString& documentName, long docId)
    {
        xml::Node i = xml::appendElement(parent, "Include");
        xml::setAttribute(i, "ID", id);
        xml::setAttribute(i, "Name", "Include:" + documentName.trimmed());
        xml::setAttribute(i, "DocID", QString::number(docId));
        return i;
    }
    static void inheritance(xml::Node include, const QString& pid, const QString& rid, bool output = false)
    {
        xml::Node h = xml::appendElement(include, "Inheritance");
        xml::setAttribute(h, "PID", pid);
        xml::setAttribute(h, "RID", rid);
        if (output) xml::setAttribute(h, "Type", "Output");
    }
};

void storeCategory(db::Connection& c, long id, long parent, const QString& name)
{
    c.execute("insert into tbOrraCategory (ID, ParentID, Name, Type, Disabled, Owner, CheckSum) "
              "values (?, ?, ?, 'T', 0, suser_sid(), 0)",
        {qlonglong(id), qlonglong(parent), name});
    if (!UpdateCategoryCheckSum(c, "catalogue", id))
        throw Error(kSystemError, "orra-demo", "cannot store category " + name);
}

// The documents that the Include elements of element (and of its blocks) name.
void collectIncludes(xml::Node element, QList<long>& included)
{
    for (const xml::Node& child : xml::childNodes(element)) {
        if (xml::hasTag(child, "Include"))
            included.append(xml::attribute(child, "DocID").toLong());
        else if (xml::hasTag(child, "Block"))
            collectIncludes(child, included);
    }
}

// The relation rows of document id, one per Include of its XML, as the designer's save writes
// them: the catalogue's Dependencies and the rename of an included document read them.
void storeRelations(db::Connection& c, long id, const xml::Document& doc)
{
    QList<long> included;
    collectIncludes(doc.documentElement(), included);
    c.execute("delete from tbOrraRelations where ObjID=?", {qlonglong(id)});
    for (long other : std::as_const(included))
        c.execute("insert into tbOrraRelations (ObjID, RelObjID) values (?, ?)", {qlonglong(id), qlonglong(other)});
}

void storeDocument(db::Connection& c, long id, long category, const QString& name, const QString& description,
    const xml::Document& doc)
{
    c.execute("insert into tbOrraSQL (ID, CategoryID, Name, Description, Type, Disabled, SQLtxt, Owner, CheckSum) "
              "values (?, ?, ?, ?, 'T', 0, ?, suser_sid(), 0)",
        {qlonglong(id), qlonglong(category), name, description, doc.xml()});
    if (!UpdateDocumentCheckSum(c, "catalogue", id))
        throw Error(kSystemError, "orra-demo", "cannot store document " + name);
    storeRelations(c, id, doc);
}

void makeDocuments(db::Connection& c, const QString& server)
{
    storeCategory(c, 1, 0, "Satış");
    storeCategory(c, 2, 1, "Raporlar");
    storeCategory(c, 3, 1, "Ortak");

    // 1: totals per customer of one city, meant to be included; run alone, its report lists them.
    DocumentBuilder totals(server, "Bir şehrin müşteri toplamları");
    DocumentBuilder::parameter(totals.root, "Sehir", "Şehir", "İstanbul", "text");
    DocumentBuilder::parameter(totals.root, "Adet", "Müşteri sayısı", "0", "fact");
    xml::Node t0 = DocumentBuilder::block(totals.root, "B0.0", "Toplamlar",
        "select c.Name Musteri, count(*) Siparis, sum(o.Amount) Tutar into #Totals\r\n"
        "from Orders o inner join Customers c on o.CustomerID=c.ID\r\n"
        "where c.City='<$Sehir%>' group by c.Name");
    (void)t0;
    DocumentBuilder::block(totals.root, "B0.1", "Müşteriler",
        "select Musteri, Siparis, Tutar into #Report from #Totals order by Tutar desc");
    storeDocument(c, 1, 3, "Şehir müşteri toplamları", "Included by the city report", totals.doc);

    // 2: the city report: asks for a city and a minimum, includes document 1 bound to the city.
    DocumentBuilder report(server, "Şehir raporu: en çok alışveriş yapan müşteriler");
    DocumentBuilder::parameter(
        report.root, "Il", "Şehir", "İzmir", "combo", "select distinct City from Customers order by City");
    DocumentBuilder::parameter(report.root, "EnAz", "En az tutar", "1000", "text");
    xml::Node inc = DocumentBuilder::include(report.root, "B0.I0", "Şehir müşteri toplamları", 1);
    DocumentBuilder::inheritance(inc, "B0.P_Sehir", "B0.P_Il");
    DocumentBuilder::block(report.root, "B0.0", "Rapor",
        "drop table #Report\r\n"
        "select Musteri, Siparis, Tutar, '<$Il%>' Sehir into #Report\r\n"
        "from #Totals where Tutar >= <$EnAz%> order by Tutar desc");
    storeDocument(c, 2, 2, "Şehir raporu", "Top customers of a city", report.doc);

    // 3: monthly sales, parameters only of the root, no include.
    DocumentBuilder monthly(server, "Aylık satışlar");
    DocumentBuilder::parameter(monthly.root, "Yil", "Yıl", "select max(year(OrderDate)) from Orders", "fact");
    DocumentBuilder::block(monthly.root, "B0.0", "Aylık",
        "select month(OrderDate) Ay, count(*) Siparis, sum(Quantity) Adet, sum(Amount) Tutar into #Report\r\n"
        "from Orders where year(OrderDate)=<$Yil%> group by month(OrderDate) order by Ay");
    storeDocument(c, 3, 2, "Aylık satışlar", "Sales per month", monthly.doc);

    // 4: for interactive hosts: the city is asked inside the included document 1 and comes
    // back through an output binding; the run stops at a station once the totals are made, with
    // the included document's list of customers as its report. Leaving the station (stepping
    // back) drops them, so that the include can run again.
    DocumentBuilder summary(server, "Şehir özeti: şehir, eklenen belgede sorulur; toplamlar hazır olunca durur");
    DocumentBuilder::parameter(summary.root, "Il", "Şehir", "", "fact");
    DocumentBuilder::parameter(summary.root, "EnAz", "En az tutar", "500", "text");
    xml::Node totalsInc = DocumentBuilder::include(summary.root, "B0.I0", "Şehir müşteri toplamları", 1);
    DocumentBuilder::inheritance(totalsInc, "B0.P_Sehir", "B0.P_Il", true);
    xml::Node stop = xml::appendElement(summary.root, "Station");
    xml::setAttribute(stop, "ID", "B0.S0");
    xml::setAttribute(stop, "Name", "Toplamlar hazır");
    xml::appendCData(stop, "drop table #Totals\r\ndrop table #Report");
    DocumentBuilder::block(summary.root, "B0.0", "Özet",
        "drop table #Report\r\n"
        "select count(*) Musteri, sum(Siparis) Siparis, sum(Tutar) Tutar, '<$Il%>' Sehir into #Report\r\n"
        "from #Totals where Tutar >= <$EnAz%>");
    storeDocument(c, 4, 2, "Şehir özeti", "City summary with a station", summary.doc);

    // Call schemas, so that the launcher can run the documents that ask without a person:
    // the customer totals of Bursa, and the city report for Ankara, at least 2,000.
    c.execute("insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (1, 1, ?, ?)",
        {QStringLiteral("Bursa"), QStringLiteral("Customer totals of Bursa")});
    c.execute("insert into tbOrraCallSchemaDetail (ParentID, ParamID, ParamVal) "
              "select ID, ?, ? from tbOrraCallSchema where DocID=1 and SchemaID=1",
        {QStringLiteral("B0.P_Sehir"), QStringLiteral("Bursa")});
    c.execute("insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (2, 1, ?, ?)",
        {QStringLiteral("Ankara, 2000 üstü"), QStringLiteral("Ankara's customers who bought 2,000 or more")});
    c.execute("insert into tbOrraCallSchemaDetail (ParentID, ParamID, ParamVal) "
              "select ID, ?, ? from tbOrraCallSchema where DocID=2 and SchemaID=1",
        {QStringLiteral("B0.P_Il"), QStringLiteral("Ankara")});
    c.execute("insert into tbOrraCallSchemaDetail (ParentID, ParamID, ParamVal) "
              "select ID, ?, ? from tbOrraCallSchema where DocID=2 and SchemaID=1",
        {QStringLiteral("B0.P_EnAz"), QStringLiteral("2000")});
}

// The sample categories (1-3) and documents (1-4) that makeDocuments stores, where they are: an
// earlier demo wrote categories of another Type and no relation rows, and other checksums.
void restampSampleRows(db::Connection& c)
{
    for (long id = 1; id <= 3; ++id) {
        db::RecordsetPtr rs = c.execute(QStringLiteral("select count(*) from tbOrraCategory where ID=%1").arg(id));
        if (rs->value(0).toInt() == 0) continue;
        c.execute("update tbOrraCategory set Type='T' where ID=? and Type<>'T'", {qlonglong(id)});
        if (!UpdateCategoryCheckSum(c, "catalogue", id))
            throw Error(kSystemError, "orra-demo", QStringLiteral("cannot stamp category %1").arg(id));
    }
    for (long id = 1; id <= 4; ++id) {
        db::RecordsetPtr rs = c.execute(QStringLiteral("select SQLtxt from tbOrraSQL where ID=%1").arg(id));
        if (!rs->isOpen() || rs->isEOF()) continue;
        xml::Document doc;
        if (doc.loadXML(rs->value(0).toString())) storeRelations(c, id, doc);
        if (!UpdateDocumentCheckSum(c, "catalogue", id))
            throw Error(kSystemError, "orra-demo", QStringLiteral("cannot stamp document %1").arg(id));
    }
}

}   // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    catalogue::registerEmbeddedCatalogue();
    QString server = QStringLiteral("demo");
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == "--server" && i + 1 < args.size())
            server = args[++i];
        else {
            std::fprintf(stderr, "usage: orra-demo [--server NAME]\n");
            return 2;
        }
    }
    try {
        if (embedded::isEmbeddedServer(server)) {
            // Its sample rows may carry checksums of an earlier form: stamp them again.
            db::Connection catalogue;
            catalogue.open(embedded::connectionText(server, "catalogue"));
            restampSampleRows(catalogue);
            std::printf("The server %s exists already in %s: kept, its sample rows brought up to date.\n",
                qUtf8Printable(server), qUtf8Printable(embedded::serversRoot()));
            return 0;
        }
        catalogue::createEmbeddedServer(server, QString(), QString(), QStringLiteral("catalogue"));
        embedded::createDatabase(server, "sales");
        db::Connection mat;
        mat.open(embedded::connectionText(server, "mat"));
        mat.execute(
            "insert into tbOrraConnections (Server, IP, [Database], UserName, UserPwd) values (?, '', 'sales', '', '')",
            {server});
        db::Connection sales;
        sales.open(embedded::connectionText(server, "sales"));
        makeSalesData(sales);
        db::Connection catalogue;
        catalogue.open(embedded::connectionText(server, "catalogue"));
        makeDocuments(catalogue, server);
        std::printf("Made the server %s in %s: catalogue (4 documents), mat (registry), sales (6000 orders).\n",
            qUtf8Printable(server), qUtf8Printable(embedded::serversRoot()));
        return 0;
    } catch (const Error& e) {
        std::fprintf(stderr, "orra-demo: %s\n", qUtf8Printable(e.description()));
        return 1;
    }
}
