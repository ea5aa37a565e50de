#include "record/xml_packet.h"

#include <QString>

int xmlPacketFieldOf(QStringView attrname) {
    const QString key = attrname.toString().toLower();
    for (int f = 0; f < int(kXmlPacketFields.size()); ++f)
        if (key == QString::fromLatin1(kXmlPacketFields[size_t(f)].name).toLower())
            return f;
    return -1;
}

const QByteArray& xmlPacketHead() {
    static const QByteArray head = [] {
        QByteArray out = "<?xml version=\"1.0\" standalone=\"yes\"?>  "
                         "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>";
        for (const XmlPacketField& f : kXmlPacketFields) {
            out += "<FIELD attrname=\"";
            out += f.name;
            out += "\" fieldtype=\"";
            out += f.type;
            out += '"';
            if (f.width > 0)
                out += " WIDTH=\"" + QByteArray::number(f.width) + '"';
            out += "/>";
        }
        out += "</FIELDS><PARAMS/></METADATA><ROWDATA>";
        return out;
    }();
    return head;
}
