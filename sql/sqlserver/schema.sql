-- Laboratory database tables used by Quorlix (Microsoft SQL Server, dbo schema).
-- Only missing tables and indexes are created, nothing is dropped or altered.
-- Run statement by statement with QUOTED_IDENTIFIER ON. Every statement ends with a semicolon at
-- the end of a line. Time stamps are local time (DATETIME).
-- patients.p_id is an identity column: explicit values need SET IDENTITY_INSERT dbo.patients ON.

IF OBJECT_ID(N'dbo.request', N'U') IS NULL CREATE TABLE dbo.request (
    sample_id      VARCHAR(50),
    parameter_id   INT,
    analyzer_id    VARCHAR(50),
    time_stamp     DATETIME,
    result         FLOAT,
    data_alarm     VARCHAR(255),
    interpretation VARCHAR(255)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_request_sample' AND object_id = OBJECT_ID(N'dbo.request'))
    CREATE INDEX ix_request_sample ON dbo.request (sample_id, parameter_id);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_request_filled' AND object_id = OBJECT_ID(N'dbo.request'))
    CREATE INDEX ix_request_filled ON dbo.request (sample_id, parameter_id) WHERE analyzer_id IS NOT NULL;
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_request_alarm' AND object_id = OBJECT_ID(N'dbo.request'))
    CREATE INDEX ix_request_alarm ON dbo.request (data_alarm);

IF OBJECT_ID(N'dbo.req2send', N'U') IS NULL CREATE TABLE dbo.req2send (
    sample_id    VARCHAR(50),
    parameter_id INT
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_req2send_sample' AND object_id = OBJECT_ID(N'dbo.req2send'))
    CREATE INDEX ix_req2send_sample ON dbo.req2send (sample_id, parameter_id);

IF OBJECT_ID(N'dbo.results', N'U') IS NULL CREATE TABLE dbo.results (
    sample_id           VARCHAR(50),
    parameter_id        INT,
    result              FLOAT,
    interpretation      VARCHAR(255),
    interpretation_arab NVARCHAR(255),
    suspicious          INT,
    analyzer_id         VARCHAR(50),
    meas_time_stamp     DATETIME,
    val_time_stamp      DATETIME,
    r_validator         VARCHAR(50)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_results_sample' AND object_id = OBJECT_ID(N'dbo.results'))
    CREATE INDEX ix_results_sample ON dbo.results (sample_id, parameter_id);

IF OBJECT_ID(N'dbo.Raw_Results', N'U') IS NULL CREATE TABLE dbo.Raw_Results (
    sample_id    VARCHAR(50),
    parameter_id INT,
    analyzer_id  VARCHAR(50),
    time_stamp   DATETIME,
    result       FLOAT,
    data_alarm   VARCHAR(255)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_raw_results_sample' AND object_id = OBJECT_ID(N'dbo.Raw_Results'))
    CREATE INDEX ix_raw_results_sample ON dbo.Raw_Results (sample_id, parameter_id);

IF OBJECT_ID(N'dbo.control_results', N'U') IS NULL CREATE TABLE dbo.control_results (
    control_id   VARCHAR(50),
    parameter_id INT,
    analyzer_id  VARCHAR(50),
    time_stamp   DATETIME,
    result       FLOAT,
    data_alarm   VARCHAR(255)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_control_results_control' AND object_id = OBJECT_ID(N'dbo.control_results'))
    CREATE INDEX ix_control_results_control ON dbo.control_results (control_id, analyzer_id);

IF OBJECT_ID(N'dbo.control_block', N'U') IS NULL CREATE TABLE dbo.control_block (
    control_id   VARCHAR(50),
    parameter_id INT,
    analyzer_id  VARCHAR(50)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_control_block' AND object_id = OBJECT_ID(N'dbo.control_block'))
    CREATE INDEX ix_control_block ON dbo.control_block (control_id, analyzer_id);

IF OBJECT_ID(N'dbo.control_def', N'U') IS NULL CREATE TABLE dbo.control_def (
    control_id   VARCHAR(50),
    parameter_id INT,
    range_low    FLOAT,
    range_high   FLOAT
);

IF OBJECT_ID(N'dbo.control_base', N'U') IS NULL CREATE TABLE dbo.control_base (
    control_id VARCHAR(50) PRIMARY KEY,
    name       VARCHAR(100)
);

IF OBJECT_ID(N'dbo.calibrations', N'U') IS NULL CREATE TABLE dbo.calibrations (
    analyzer_id VARCHAR(50),
    calib_dat   DATETIME,
    parameter_id INT,
    std_count   INT,
    calibalarm  VARCHAR(10),
    sd_val      VARCHAR(20),
    s11abs FLOAT, s12abs FLOAT, s11ini FLOAT, s12ini FLOAT, s1conz FLOAT, s1dataalarm VARCHAR(10), s1prozone_val VARCHAR(20),
    s21abs FLOAT, s22abs FLOAT, s21ini FLOAT, s22ini FLOAT, s2conz FLOAT, s2dataalarm VARCHAR(10), s2prozone_val VARCHAR(20),
    s31abs FLOAT, s32abs FLOAT, s31ini FLOAT, s32ini FLOAT, s3conz FLOAT, s3dataalarm VARCHAR(10), s3prozone_val VARCHAR(20),
    s41abs FLOAT, s42abs FLOAT, s41ini FLOAT, s42ini FLOAT, s4conz FLOAT, s4dataalarm VARCHAR(10), s4prozone_val VARCHAR(20),
    s51abs FLOAT, s52abs FLOAT, s51ini FLOAT, s52ini FLOAT, s5conz FLOAT, s5dataalarm VARCHAR(10), s5prozone_val VARCHAR(20),
    s61abs FLOAT, s62abs FLOAT, s61ini FLOAT, s62ini FLOAT, s6conz FLOAT, s6dataalarm VARCHAR(10), s6prozone_val VARCHAR(20)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_calibrations' AND object_id = OBJECT_ID(N'dbo.calibrations'))
    CREATE INDEX ix_calibrations ON dbo.calibrations (analyzer_id, parameter_id, calib_dat);

IF OBJECT_ID(N'dbo.calib_base', N'U') IS NULL CREATE TABLE dbo.calib_base (
    analyzer_id VARCHAR(50),
    param_id    INT,
    stdcount    INT,
    c1 FLOAT, c2 FLOAT, c3 FLOAT, c4 FLOAT, c5 FLOAT, c6 FLOAT
);

IF OBJECT_ID(N'dbo.sample_base', N'U') IS NULL CREATE TABLE dbo.sample_base (
    sample_id       VARCHAR(50),
    sample_pos      INT,
    sample_disc     INT,
    status_1        VARCHAR(50),
    analyzer_id     VARCHAR(50),
    p_id            INT,
    si_id           VARCHAR(50),
    cust_id         VARCHAR(20),
    collector       VARCHAR(50),
    coll_dat        DATETIME,
    entry_dat       DATETIME,
    last_change_dat DATETIME,
    add3            INT,
    sample_mat      VARCHAR(10),
    entry_user      VARCHAR(50)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_sample_base_id' AND object_id = OBJECT_ID(N'dbo.sample_base'))
    CREATE INDEX ix_sample_base_id ON dbo.sample_base (sample_id);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_sample_base_status' AND object_id = OBJECT_ID(N'dbo.sample_base'))
    CREATE INDEX ix_sample_base_status ON dbo.sample_base (status_1);

IF OBJECT_ID(N'dbo.patients', N'U') IS NULL CREATE TABLE dbo.patients (
    p_id       INT IDENTITY(1,1) PRIMARY KEY,
    si_id      VARCHAR(50),
    surname    VARCHAR(100),
    forename   VARCHAR(100),
    birth      DATETIME,
    entry_date DATETIME
);

IF OBJECT_ID(N'dbo.customer', N'U') IS NULL CREATE TABLE dbo.customer (
    cust_id   VARCHAR(20),
    cust_name VARCHAR(100)
);

IF OBJECT_ID(N'dbo.test_def', N'U') IS NULL CREATE TABLE dbo.test_def (
    parameter_id INT PRIMARY KEY,
    short        VARCHAR(20),
    Long         VARCHAR(100),
    method       VARCHAR(20),
    range_low    FLOAT,
    range_high   FLOAT
);

IF OBJECT_ID(N'dbo.param2channel', N'U') IS NULL CREATE TABLE dbo.param2channel (
    parameter_id INT,
    analyzer_id  VARCHAR(50),
    channel_id   INT,
    testiddsx    VARCHAR(20)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_param2channel' AND object_id = OBJECT_ID(N'dbo.param2channel'))
    CREATE INDEX ix_param2channel ON dbo.param2channel (analyzer_id, channel_id);

IF OBJECT_ID(N'dbo.validation', N'U') IS NULL CREATE TABLE dbo.validation (
    parameter_id   INT,
    v_from         FLOAT,
    v_to           FLOAT,
    interpretation INT,
    suspicious     INT,
    nw_id          INT
);

IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_validation_parameter' AND object_id = OBJECT_ID(N'dbo.validation'))
    CREATE INDEX ix_validation_parameter ON dbo.validation (parameter_id);

IF OBJECT_ID(N'dbo.interpretation', N'U') IS NULL CREATE TABLE dbo.interpretation (
    id         INT PRIMARY KEY,
    value      VARCHAR(255),
    value_arab NVARCHAR(255)
);

IF OBJECT_ID(N'dbo.analyzers', N'U') IS NULL CREATE TABLE dbo.analyzers (
    analyzer_id VARCHAR(50),
    com_port    INT
);

IF OBJECT_ID(N'dbo.app_protocols_testmap', N'U') IS NULL CREATE TABLE dbo.app_protocols_testmap (
    Analyzer_id     VARCHAR(50),
    AssignedChannel INT,
    TestDef_Id      INT
);

IF OBJECT_ID(N'dbo.user_base', N'U') IS NULL CREATE TABLE dbo.user_base (
    userid  VARCHAR(50),
    comment VARCHAR(100)
);

IF OBJECT_ID(N'dbo.textstrings', N'U') IS NULL CREATE TABLE dbo.textstrings (
    [key]   INT PRIMARY KEY,
    english VARCHAR(255),
    german  VARCHAR(255)
);

IF OBJECT_ID(N'dbo.SAMPLE_PICS', N'U') IS NULL CREATE TABLE dbo.SAMPLE_PICS (
    SAMPLE_ID  VARCHAR(50),
    SAVE_PATH  VARCHAR(500),
    USER_ID    VARCHAR(50),
    TIME_STAMP DATETIME
);

IF OBJECT_ID(N'dbo.quorlix_log', N'U') IS NULL CREATE TABLE dbo.quorlix_log (
    time_stamp DATETIME,
    log_key    VARCHAR(50),
    log_val    VARCHAR(255)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_quorlix_log' AND object_id = OBJECT_ID(N'dbo.quorlix_log'))
    CREATE INDEX ix_quorlix_log ON dbo.quorlix_log (log_key, time_stamp);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_quorlix_log_val' AND object_id = OBJECT_ID(N'dbo.quorlix_log'))
    CREATE INDEX ix_quorlix_log_val ON dbo.quorlix_log (log_key, log_val);

-- Statistical quality control: a control's assigned target per analyzer, the Westgard rules its
-- results fired, and the periods in which a parameter's patient results are held from
-- autovalidation after a rejected control.
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_control_results_series' AND object_id = OBJECT_ID(N'dbo.control_results'))
    CREATE INDEX ix_control_results_series ON dbo.control_results (control_id, parameter_id, analyzer_id, time_stamp);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_control_results_run' AND object_id = OBJECT_ID(N'dbo.control_results'))
    CREATE INDEX ix_control_results_run ON dbo.control_results (parameter_id, analyzer_id, time_stamp);

IF OBJECT_ID(N'dbo.control_targets', N'U') IS NULL CREATE TABLE dbo.control_targets (
    control_id   VARCHAR(50) NOT NULL,
    parameter_id INT NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    mean         FLOAT NOT NULL,
    sd           FLOAT NOT NULL,
    valid_from   DATETIME NOT NULL
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_control_targets' AND object_id = OBJECT_ID(N'dbo.control_targets'))
    CREATE UNIQUE INDEX ix_control_targets ON dbo.control_targets (control_id, parameter_id, analyzer_id, valid_from);

IF OBJECT_ID(N'dbo.control_rule_events', N'U') IS NULL CREATE TABLE dbo.control_rule_events (
    control_id   VARCHAR(50) NOT NULL,
    parameter_id INT NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    time_stamp   DATETIME NOT NULL,
    rule         VARCHAR(8) NOT NULL,
    severity     VARCHAR(10) NOT NULL,
    z_score      FLOAT
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_control_rule_events' AND object_id = OBJECT_ID(N'dbo.control_rule_events'))
    CREATE UNIQUE INDEX ix_control_rule_events ON dbo.control_rule_events (control_id, parameter_id, analyzer_id, time_stamp, rule);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_control_rule_events_time' AND object_id = OBJECT_ID(N'dbo.control_rule_events'))
    CREATE INDEX ix_control_rule_events_time ON dbo.control_rule_events (time_stamp);

IF OBJECT_ID(N'dbo.qc_holds', N'U') IS NULL CREATE TABLE dbo.qc_holds (
    parameter_id INT NOT NULL,
    analyzer_id  VARCHAR(50) NOT NULL,
    held_from    DATETIME NOT NULL,
    control_id   VARCHAR(50),
    released_at  DATETIME,
    released_by  VARCHAR(50)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_qc_holds' AND object_id = OBJECT_ID(N'dbo.qc_holds'))
    CREATE UNIQUE INDEX ix_qc_holds ON dbo.qc_holds (parameter_id, analyzer_id, held_from);

-- One row per analyzer, kept by its running instance: who runs it where, since when, its last
-- heartbeat (every 3 s), the state of its lines, the last frames and what waits in its spool.
-- stopped_at is NULL while the instance runs.
IF OBJECT_ID(N'dbo.analyzer_status', N'U') IS NULL CREATE TABLE dbo.analyzer_status (
    analyzer_id      VARCHAR(50) NOT NULL PRIMARY KEY,
    analyzer_type    VARCHAR(20),
    host_name        VARCHAR(255),
    process_id       BIGINT,
    version          VARCHAR(50),
    started_at       DATETIME,
    last_heartbeat   DATETIME,
    stopped_at       DATETIME,
    analyzer_link    VARCHAR(10),
    lims_link        VARCHAR(10),
    last_received    NVARCHAR(255),
    last_received_at DATETIME,
    last_sent        NVARCHAR(255),
    last_sent_at     DATETIME,
    spool_waiting    INT,
    quarantined      INT,
    last_error       NVARCHAR(255),
    last_error_at    DATETIME
);

IF OBJECT_ID(N'dbo.MGC_Result', N'U') IS NULL CREATE TABLE dbo.MGC_Result (
    sample_id    VARCHAR(50),
    parameter_id INT
);

IF OBJECT_ID(N'dbo.MGC_SampleID', N'U') IS NULL CREATE TABLE dbo.MGC_SampleID (
    sample_id    VARCHAR(50),
    parameter_id INT,
    sample_info  VARCHAR(50),
    send         INT
);
