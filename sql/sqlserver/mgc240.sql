-- Tables of the MGC240 analyzer's own database (Microsoft SQL Server, dbo schema), used as a
-- stand-in for the analyzer in tests and demonstrations. Only missing tables and indexes are
-- created, nothing is dropped or altered. Every statement ends with a semicolon at a line end.

-- Sample orders
IF OBJECT_ID(N'dbo.samp_odr', N'U') IS NULL CREATE TABLE dbo.samp_odr (
    samp_id     VARCHAR(50),
    fdate       DATETIME,
    s_rnd_no    INT,
    samp_mode   INT,
    samp_no     INT,
    samp_kind   INT,
    ord_state   INT,
    autorerun   INT,
    samp_state  INT,
    samp_type   INT,
    ctrl_type   INT,
    asp_no      INT,
    asp_date    DATETIME,
    ord_total   INT,
    reord_total INT,
    pati_id     VARCHAR(50),
    comment1    VARCHAR(100),
    comment2    VARCHAR(100),
    r_rnd_no    INT,
    profile1    INT,
    profile2    INT,
    profile3    INT,
    profile4    INT,
    profile5    INT,
    profile6    INT,
    profile7    INT,
    profile8    INT,
    profile9    INT,
    profile10   INT,
    barID       VARCHAR(50)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_samp_odr_samp' AND object_id = OBJECT_ID(N'dbo.samp_odr'))
    CREATE INDEX ix_samp_odr_samp ON dbo.samp_odr (samp_id);

-- Results per sample and test item
IF OBJECT_ID(N'dbo.samp_dat', N'U') IS NULL CREATE TABLE dbo.samp_dat (
    samp_id      VARCHAR(50),
    fdate        DATETIME,
    s_rnd_NO     INT,
    ord_state    INT,
    item_no      INT,
    item_name    VARCHAR(50),
    autorerun    INT,
    dil_ord      INT,
    data_state   INT,
    rst_Date     DATETIME,
    p_flag       VARCHAR(10),
    s_flag       VARCHAR(10),
    d_flag       VARCHAR(10),
    od_data      FLOAT,
    conc_data    FLOAT,
    mon_link     INT,
    conc_data_re FLOAT,
    p_flag_re    VARCHAR(10)
);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = N'ix_samp_dat_samp' AND object_id = OBJECT_ID(N'dbo.samp_dat'))
    CREATE INDEX ix_samp_dat_samp ON dbo.samp_dat (samp_id, item_no);

-- Test items known to the analyzer
IF OBJECT_ID(N'dbo.itempara', N'U') IS NULL CREATE TABLE dbo.itempara (
    item_no   INT,
    item_name VARCHAR(50)
);

-- Calibration absorbances (reagent blank and up to six standards)
IF OBJECT_ID(N'dbo.calib', N'U') IS NULL CREATE TABLE dbo.calib (
    rdate   DATETIME,
    item_no INT,
    BLK_OD  FLOAT,
    STD_1OD FLOAT,
    STD_2OD FLOAT,
    STD_3OD FLOAT,
    STD_4OD FLOAT,
    STD_5OD FLOAT,
    STD_6OD FLOAT
);
