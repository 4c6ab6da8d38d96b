// The vendor's thesaurus page: cleaning, record splitting and the bytes of
// ciku.txt made from it, which must read back as the same lines.
#include "comparer/core/rewrite.h"
#include "comparer/core/thesauruspage.h"
#include "fuzzsupport.h"
#include "platform/core/gbk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString markup = QString::fromUtf8(fuzz::bytes(data, size));
    const auto records = comparer::thesaurusRecords(comparer::cleanThesaurusMarkup(markup));
    if (!records)
        return 0;
    const QByteArray file = comparer::thesaurusFileBytes(*records);
    bool valid = false;
    const QString text = gbk::decode(file, &valid);
    fuzz::check(valid, "ciku.txt bytes are valid GBK");
    fuzz::check(comparer::thesaurusLines(text).size() >= records->size() - 1,
                "no record is lost on the way to ciku.txt");
    return 0;
}
