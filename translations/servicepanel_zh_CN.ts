<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>主窗口</translation>
    </message>
</context>
<context>
    <name>MyProgressDialog</name>
    <message>
        <source>Dialog</source>
        <translation>对话框</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation>文本标签</translation>
    </message>
</context>
<context>
    <name>messagedialog</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>title</source>
        <translation>标题</translation>
    </message>
    <message>
        <source>text</source>
        <translation>正文</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>确认</source>
        <translation>确认</translation>
    </message>
</context>
<context>
    <name>sendordertoprinter_test</name>
    <message>
        <source>Form</source>
        <translation>窗体</translation>
    </message>
    <message>
        <source>Start
Print Test</source>
        <translation>开始
打印测试</translation>
    </message>
    <message>
        <source>Start 
BackUp </source>
        <translation>开始
备份</translation>
    </message>
    <message>
        <source>Reset Parameters</source>
        <translation>参数复位</translation>
    </message>
    <message>
        <source>Current Settings</source>
        <translation>当前设置</translation>
    </message>
    <message>
        <source>Paper Check</source>
        <translation>纸张检测</translation>
    </message>
    <message>
        <source>Receipt</source>
        <translation>小票</translation>
    </message>
    <message>
        <source>No Back Paper</source>
        <translation>不回收底纸</translation>
    </message>
    <message>
        <source>Label</source>
        <translation>标签</translation>
    </message>
    <message>
        <source>Back Paper</source>
        <translation>回收底纸</translation>
    </message>
    <message>
        <source>Paper Reset</source>
        <translation>纸张复位</translation>
    </message>
    <message>
        <source>Paper Replacement</source>
        <translation>更换纸张</translation>
    </message>
    <message>
        <source>Paper bin with paper</source>
        <translation>纸仓有纸</translation>
    </message>
    <message>
        <source>Start Position</source>
        <translation>起始位置</translation>
    </message>
    <message>
        <source>Heating</source>
        <translation>加热等级</translation>
    </message>
    <message>
        <source>Speed Level</source>
        <translation>速度等级</translation>
    </message>
    <message>
        <source>Roll Back Distance</source>
        <translation>回退距离</translation>
    </message>
    <message>
        <source>Extra Feed</source>
        <translation>额外走纸</translation>
    </message>
    <message>
        <source>Right Location Heat Time</source>
        <translation>右侧加热</translation>
    </message>
    <message>
        <source>Middle Location Heat Time</source>
        <translation>中间加热</translation>
    </message>
    <message>
        <source>Left Location Heat Time</source>
        <translation>左侧加热</translation>
    </message>
    <message>
        <source>Opto Compare Value</source>
        <translation>光耦比较值</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>发送</translation>
    </message>
    <message>
        <source>Current Parameters:</source>
        <translation>当前参数：</translation>
    </message>
    <message>
        <source>Parameters Description:</source>
        <translation>参数说明：</translation>
    </message>
    <message>
        <source>VersionLoopup</source>
        <translation>版本</translation>
    </message>
    <message>
        <source>Feed</source>
        <translation>走纸</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>打印</translation>
    </message>
    <message>
        <source>Esc</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Backup</source>
        <translation>备份</translation>
    </message>
    <message>
        <source>Restore</source>
        <translation>恢复</translation>
    </message>
    <message>
        <source>Clear Data</source>
        <translation>清除数据</translation>
    </message>
    <message>
        <source>Power Off</source>
        <translation>关机</translation>
    </message>
    <message>
        <source>Fail</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>Please insert U disk!</source>
        <translation>请插入U盘！</translation>
    </message>
    <message>
        <source>Not copied: %1</source>
        <translation>未复制：%1</translation>
    </message>
    <message>
        <source>... and %1 more not copied</source>
        <translation>……另有 %1 项未复制</translation>
    </message>
    <message>
        <source>Backup...</source>
        <translation>正在备份…</translation>
    </message>
    <message>
        <source>No complete backup on U disk!</source>
        <translation>U盘上没有完整的备份！</translation>
    </message>
    <message>
        <source>Restore...</source>
        <translation>正在恢复…</translation>
    </message>
    <message>
        <source>Database %1 not dropped</source>
        <translation>数据库 %1 未删除</translation>
    </message>
    <message>
        <source>Folder %1 still there</source>
        <translation>文件夹 %1 仍然存在</translation>
    </message>
    <message>
        <source> </source>
        <translation> </translation>
    </message>
    <message>
        <source>Clear Data Ok </source>
        <translation>数据已清除</translation>
    </message>
    <message>
        <source>Power Off... </source>
        <translation>正在关机…</translation>
    </message>
    <message>
        <source>Heating Level</source>
        <translation>加热等级</translation>
    </message>
    <message>
        <source>Please Check Issue</source>
        <translation>请检查问题</translation>
    </message>
    <message>
        <source>Paper Type:</source>
        <translation>纸张类型：</translation>
    </message>
    <message>
        <source>start Print Location:</source>
        <translation>打印起始位置：</translation>
    </message>
    <message>
        <source>Opto Compare Value:</source>
        <translation>光耦比较值：</translation>
    </message>
    <message>
        <source>Back Paper Status:</source>
        <translation>底纸状态：</translation>
    </message>
    <message>
        <source>Pull Back Distance:</source>
        <translation>回退距离：</translation>
    </message>
    <message>
        <source>Extra Feed Distance:</source>
        <translation>额外走纸距离：</translation>
    </message>
    <message>
        <source>Heating Level:</source>
        <translation>加热等级：</translation>
    </message>
    <message>
        <source>Left Location Heat Time:</source>
        <translation>左侧加热：</translation>
    </message>
    <message>
        <source>Middle Location Heat Time:</source>
        <translation>中间加热：</translation>
    </message>
    <message>
        <source>Right Location Heat Time:</source>
        <translation>右侧加热：</translation>
    </message>
    <message>
        <source>Paramter Name: Start Position
Range: [0-400], 100 = 6mm
Explanation: Start position to the top of the label.
Default: 0
Caution: Please input a reasonable value for small labels.</source>
        <translation>参数名称：起始位置
范围：[0-400]，100 = 6mm
说明：打印起始位置与标签顶端的距离。
默认值：0
注意：小标签请输入合理的数值。</translation>
    </message>
    <message>
        <source>Parameter Name: Heating Level
Range: [1-8]
Explanation: Printer&apos;s heating level. Increase as level increase.
Default: 2</source>
        <translation>参数名称：加热等级
范围：[1-8]
说明：打印机的加热等级，等级越高加热越强。
默认值：2</translation>
    </message>
    <message>
        <source>Parameter Name: Printing Speed
Range: [1-8]
Explanation: Printing speed. Increase as level increases.
Default: 2</source>
        <translation>参数名称：打印速度
范围：[1-8]
说明：打印速度，等级越高速度越快。
默认值：2</translation>
    </message>
    <message>
        <source>Parameter Name: Pull Back Distance
Range: [1-40] 100 = 6mm
Explanation: Paper will be pulled back a certain distance before printing.It will automatically feed extra distance of 60.
Default: 0</source>
        <translation>参数名称：回退距离
范围：[1-40]，100 = 6mm
说明：打印前纸张先回退一段距离，并自动额外走纸 60。
默认值：0</translation>
    </message>
    <message>
        <source>Parameter Name: Extra Feed Distance
Range: [0-255] 100=6mm
Explanation: Extra feed length after printing.
Default: 0</source>
        <translation>参数名称：额外走纸距离
范围：[0-255]，100 = 6mm
说明：打印后额外走纸的长度。
默认值：0</translation>
    </message>
    <message>
        <source>Name: Right printing section setting
Values:【0-3】.
Explanation：Extra heating interation for this section.
Default：0
Note：
1:Only use this function when the printer quality is very bad.2：It is very unlikely to use any value above 1.</source>
        <translation>名称：右侧打印区设置
取值：【0-3】
说明：该区域的额外加热次数。
默认值：0
注意：
1：仅在打印质量很差时使用此功能。
2：一般不会用到大于 1 的值。</translation>
    </message>
    <message>
        <source>Name: Center printing section setting
Values:【0-3】.
Explanation：Extra heating interation for this section.
Default：0
Note：
1:Only use this function when the printer quality is very bad.2：It is very unlikely to use any value above 1.</source>
        <translation>名称：中间打印区设置
取值：【0-3】
说明：该区域的额外加热次数。
默认值：0
注意：
1：仅在打印质量很差时使用此功能。
2：一般不会用到大于 1 的值。</translation>
    </message>
    <message>
        <source>Name: Left printing section setting
Values:【0-3】.
Explanation：Extra heating interation for this section.
Default：0
Note：
1:Only use this function when the printer quality is very bad.2：It is very unlikely to use any value above 1.</source>
        <translation>名称：左侧打印区设置
取值：【0-3】
说明：该区域的额外加热次数。
默认值：0
注意：
1：仅在打印质量很差时使用此功能。
2：一般不会用到大于 1 的值。</translation>
    </message>
    <message>
        <source>Name: Internal Sensor Threshold.
Default  ：15000.
Explanation: The threshold between the index change of between paper and gap.
Note: The value may have great effect in printing.</source>
        <translation>名称：内部传感器阈值
默认值：15000
说明：区分纸张与间隙的检测阈值。
注意：该值对打印效果影响很大。</translation>
    </message>
    <message>
        <source>Parameter Settings: Back Paper Collection
Explanation: Back paper collection setting
Caution: It is default to NO collection when it is set to receipt mode.</source>
        <translation>参数设置：底纸回收
说明：设置是否回收底纸。
注意：设为小票模式时，默认不回收底纸。</translation>
    </message>
    <message>
        <source>Setting Failed! Please check command</source>
        <translation>设置失败！请检查命令</translation>
    </message>
    <message>
        <source>No longer collecting back paper</source>
        <translation>已停止回收底纸</translation>
    </message>
    <message>
        <source>Now colleccting back paper</source>
        <translation>已开始回收底纸</translation>
    </message>
    <message>
        <source>Paper Type: Label</source>
        <translation>纸张类型：标签</translation>
    </message>
    <message>
        <source>Parameter Name: Label Settings
Explanation: Change mode to label mode.
Caution: If mode is changed from receipt to label, please recalibrate the printer.</source>
        <translation>参数名称：标签设置
说明：切换到标签模式。
注意：由小票模式切换为标签模式后，请重新校准打印机。</translation>
    </message>
    <message>
        <source>Paper Type: Receipt</source>
        <translation>纸张类型：小票</translation>
    </message>
    <message>
        <source>Parameter Name: Current Settings
Explanation: Lookup all current settings.</source>
        <translation>参数名称：当前设置
说明：查询当前所有设置。</translation>
    </message>
    <message>
        <source>Parameter Name: Parameter Reset.
Explanation: Reset all parameters to default values.</source>
        <translation>参数名称：参数复位
说明：将所有参数恢复为默认值。</translation>
    </message>
    <message>
        <source>No answer from printer</source>
        <translation>打印机无应答</translation>
    </message>
    <message>
        <source>No Input Found</source>
        <translation>未输入数值</translation>
    </message>
    <message>
        <source>Incorrect Parameter Value</source>
        <translation>参数值不正确</translation>
    </message>
    <message>
        <source>Settings Failed</source>
        <translation>设置失败</translation>
    </message>
    <message>
        <source>Setting Failed! Incorrect Parameter Value</source>
        <translation>设置失败！参数值不正确</translation>
    </message>
    <message>
        <source>Reset to default heating

Please check Current Settings</source>
        <translation>已恢复默认加热

请查看当前设置</translation>
    </message>
    <message>
        <source>Invalid Input. Must not be negative.</source>
        <translation>输入无效，不能为负数。</translation>
    </message>
    <message>
        <source>Internel Sensor Threshold has been set.</source>
        <translation>内部传感器阈值已设置。</translation>
    </message>
    <message>
        <source>Loaded paper</source>
        <translation>已装纸</translation>
    </message>
    <message>
        <source>Paper not loaded</source>
        <translation>未装纸</translation>
    </message>
    <message>
        <source>Label left</source>
        <translation>有剩余标签</translation>
    </message>
    <message>
        <source>None label left</source>
        <translation>无剩余标签</translation>
    </message>
    <message>
        <source>Current Version:</source>
        <translation>当前版本：</translation>
    </message>
    <message>
        <source>ameter Name: Version Lookup
Explanation: Check the current printer veriosn number.</source>
        <translation>参数名称：版本查询
说明：查询打印机当前的版本号。</translation>
    </message>
    <message>
        <source>Paper Not Detected</source>
        <translation>未检测到纸张</translation>
    </message>
    <message>
        <source>Paper Detected</source>
        <translation>检测到纸张</translation>
    </message>
    <message>
        <source>Parameter Name: Paper sensor status</source>
        <translation>参数名称：纸张传感器状态</translation>
    </message>
</context>
</TS>
