#pragma once
// The update store: updateinfo.xml beside the program, one product element per product code,
// a product's state in its attributes. Each agent owns one. It reads the file when the agent
// starts and serves every lookup from memory; when the agent ends it writes the products it
// used into the file as the file is then, so what other agents saved in the meantime for
// their own products stays. Reading and writing take the store's lock (updateinfo.xml.lock
// beside the file), which agents of other processes take as well.

#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/XmlDocument.h"

namespace KDAutoUpdate {

class IFileLock;

class UpdateStore {
public:
    explicit UpdateStore(Platform& platform) : m_platform(platform) {}
    ~UpdateStore();
    UpdateStore(const UpdateStore&) = delete;
    UpdateStore& operator=(const UpdateStore&) = delete;

    // Makes the (synchronous) document; without an XML service there is none, and the store
    // then reads and writes nothing.
    void CreateDocument();
    // Reads the file into the document. A missing or unreadable file is replaced by an empty
    // store, saved at once; an unreadable one is kept first as updateinfo.xml.bad (the ones
    // kept before move on to .bad.1 and so on; the oldest beyond a few is dropped).
    void Load();
    // Writes the products this store handed out into the file. Other products and whatever
    // else the file holds stay as the file has them; for these products this store's element
    // wins, with all its attributes. Failures are ignored.
    void Save();
    // Lets the document go; the store answers nothing afterwards.
    void Release();

    IXmlDocument* Document() { return m_document.get(); }
    // The first element of that code, appended when there is none; null for an empty code.
    XmlElementPtr ProductNode(const std::string& code);
    // The attribute's text, "" when it is absent.
    std::string ProductAttribute(const std::string& code, const std::string& name);
    // Sets the attribute, or removes it for a blank value; a blank name does nothing.
    void SetProductAttribute(const std::string& code, const std::string& name,
                             const std::string& value);

    // The file the store lives in, its links followed.
    std::string FilePath() const;

private:
    std::unique_ptr<IFileLock> Lock(const std::string& path) const;
    std::string Stamp(const std::string& path) const;
    bool Exists(const std::string& path) const;
    // Loads a well-formed file with a root into `document`.
    static bool Read(IXmlDocument& document, const std::string& path);
    void KeepUnreadable(const std::string& path) const;
    // Writes this store's products into `disk`, a fresh reading of the file.
    void MergeInto(IXmlDocument& disk);

    Platform& m_platform;
    std::unique_ptr<IXmlDocument> m_document;
    XmlElementPtr m_productNode;          // the element ProductNode found last
    std::vector<std::string> m_usedCodes; // codes whose element was handed out, first use first
    std::string m_fileStamp;              // the file as this store last read or wrote it
};

} // namespace KDAutoUpdate
