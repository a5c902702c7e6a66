#include "HelpText.h"

#include "platform/text/AtomicFile.h"
#include "platform/text/IniFile.h"

#include <QFileInfo>

#ifndef TAVLO_HOME_PAGE
#define TAVLO_HOME_PAGE "https://morvane.example/"
#endif

namespace HelpText {

const QStringList &readMeLines() {
    static const QStringList lines{
        QStringLiteral("一、进程管理部分"),
        QStringLiteral("1.在此处建立连接；"),
        QStringLiteral("2.如果想作为主机，输入特定名字，执行建立主机即可；"),
        QStringLiteral("3.如果想作为成员加入连接，输入名字及主机 IP，执行加入连接即可；"),
        QStringLiteral("4.作为主机可以维持秩序，比如可以将某成员逐出大家庭；"),
        QStringLiteral("5.此处也可以查看信息交流情况；"),
        QStringLiteral("6.VIP 名单是自动搜索主机时的范围；"),
        QStringLiteral("7.黑名单是建立主机后拒绝加入的用户。"),
        QString(),
        QStringLiteral("二、ICQ 部分"),
        QStringLiteral("1.本软件是一款局域网聊天软件，使用非常简便；"),
        QStringLiteral("2."
                       "同一局域网内的用户均可使用，任一用户均可作为主机，其他用户则可以键入该用户的IP地址加"
                       "入连接（当然也可以建立为新的主机，等待别人加入连接）；"),
        QStringLiteral("3.想作为主机的用户，选择“建立主机”按钮即可；"),
        QStringLiteral("4."
                       "想加入连接的用户，键入你的ID，键入已作为主机运行的计算机的IP地址（或计算机名称），选"
                       "择“加入连接”按钮即可；"),
        QStringLiteral(
            "5.可以和已经加入的所有用户进行图画或文字交流，也可以和你选中的某个或某几个用户说悄悄话；"),
        QStringLiteral("6.可以设置软件平台名称、连接端口号、服务器IP，也可以还原为缺省值；"),
        QStringLiteral("7.收到新的信息，软件将会向你给出提示（声音和闪烁）；"),
        QStringLiteral("8.主机作为向大家服务的特殊用户，当然也有一些特权，比如，可以维持秩序等。"),
        QString(),
        QStringLiteral("三、定制<信息管理系统>部分"),
        QStringLiteral("1.定制指南"),
        QStringLiteral("1)."
                       "可以自由定制录入及查询系统，对象可以是物料，也可以是组织成员，也可以是设计图纸，也可"
                       "以是项目文档，等等等等；"),
        QStringLiteral(
            "2).在系统定制页面，输入系统名称，比如，物料信息管理系统；输入十个对象属性或参数项，比如，名称/"
            "描述/型号及规格/项目信息/日期/品牌或厂家/单位/数量/价格(元)/NC 编码；"),
        QStringLiteral("3).以后连接该主机者都会统一在以上设置之下。"),
        QString(),
        QStringLiteral("2.使用指南"),
        QStringLiteral(
            "1).未建立连接的情况下，将录入在本地机。下次作为成员加入连接后，软件自动将本机记录上传主机；"),
        QStringLiteral("2).在建立连接的情况下，将录入在主机；"),
        QStringLiteral("3).在信息录入栏输入有关信息(至少一项)，执行录入即可；"),
        QStringLiteral("4).未建立连接的情况下，将在本地机查询；"),
        QStringLiteral("5).建立连接后，将在主机查询；"),
        QStringLiteral("6).在信息查询栏输入关键词(至少一项)，执行查询即可。"),
        QString(),
        QStringLiteral("四、采购申请单部分"),
        QStringLiteral("1.生成物料编码"),
        QStringLiteral("1).在“数据源”中选择采购中心提供的电子表格文件(即物料档案生成器对应专业的文件)；"),
        QStringLiteral("2).依次选择“物料分类”和“物料名称”；"),
        QStringLiteral("3).继续选择“参数一”至“参数五”。"),
        QStringLiteral("4).这时可以看到，在下部已生成物料编码。"),
        QString(),
        QStringLiteral("2.生成采购申请单"),
        QStringLiteral("1).输入项目名称、设计编号、项目编号，也可以不输入；"),
        QStringLiteral(
            "2).执行“填单”，将自动打开 Word，并生成“物料采购申请单”，多项物料时，重复执行“填单”；"),
        QStringLiteral("3).必要时，选中“新建表单”，自动生成下一个“物料采购申请单”。"),
        QString(),
        QStringLiteral("3.批量编码"),
        QStringLiteral("1).双击“批量编码”以展开该项功能的区域；"),
        QStringLiteral("2).选定编码范围，执行“批量编码”之“开始”。"),
        QString(),
        QStringLiteral("4.注意事项"),
        QStringLiteral("1).自动生成的编码和单位,要进行必要的人工核对；"),
        QStringLiteral("2).本编辑器针对 NC 系统设计，适用于所有专业。"),
        QString(),
        QStringLiteral("五、AutoCAD 文字部分"),
        QStringLiteral("1.提取文字"),
        QStringLiteral("1).从 AutoCAD 文件中按照一定约定提取出文字，文字置于 Excel 的第三列；"),
        QStringLiteral("2).翻译（或其他途径）得到预期的转换文字，转换文字要置于对应的第四列；"),
        QStringLiteral(
            "3).翻译过程中保证第一、二、三列内容不变，且第三列只翻译汉字部分，其他词语或符号原样抄录；"),
        QStringLiteral("4).AutoCAD 文件暂不考虑块的嵌套。"),
        QString(),
        QStringLiteral("2.替换文字"),
        QStringLiteral("1).将翻译（或其他途径）得来的文稿按照一定约定替换 AutoCAD 文件中的文字；"),
        QStringLiteral("2).AutoCAD 文件暂不考虑块的嵌套。"),
        QString(),
        QStringLiteral("3.繁简转换"),
        QStringLiteral("1).对 AutoCAD 内的文字进行繁简转换；"),
        QStringLiteral("2).转换为繁体字后出现乱码，须自行调整字体设置；"),
        QStringLiteral("3).AutoCAD 文件暂不考虑块的嵌套。"),
        QString(),
        QStringLiteral("六、压缩/解压部分"),
        QStringLiteral("1.支持Zip格式的压缩与解压；"),
        QStringLiteral("2.不改变被执行文件在系统的关联关系。"),
    };
    return lines;
}

bool ensureReadMe(const QString &path) {
    if (QFileInfo::exists(path))
        return true;
    QString text;
    for (const QString &line : readMeLines())
        text += line + u'\n';
    return tavlo::text::writeFileAtomically(path, text.toUtf8());
}

QString homePage(const QString &settingsPath) {
    const QString configured =
        tavlo::text::IniFile::load(settingsPath).value(QStringLiteral("Tavlo"), QStringLiteral("HomePage"));
    return configured.isEmpty() ? QStringLiteral(TAVLO_HOME_PAGE) : configured;
}

} // namespace HelpText
